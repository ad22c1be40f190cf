// vekplay as a user runs it: a separate process, the real sound device through
// SDL's disk driver, or .wav files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "settings/ini_file.h"
#include "tests/net/http_test_server.h"
#include "tests/support/encoded_clip.h"
#include "tests/support/tagged_file.h"
#include "tests/support/test_support.h"

namespace vek {
namespace {

using test::DataPath;
using test::ReadWav;
using test::WavFile;

using RunResult = test::ProgramRun;

// vekplay blocks SIGINT in every thread but the one that waits for it: from
// then on it takes the signal itself.
bool BlocksSigint(pid_t pid) {
    return test::SignalIn(pid, "SigBlk", SIGINT);
}

class VekplayTest : public ::testing::Test {
  protected:
    RunResult Vekplay(std::vector<std::string> args, std::vector<std::string> env = {},
                      int timeout_ms = 30000,
                      const std::function<bool(pid_t)>& interrupt_when = {}) {
        args.insert(args.begin(), VEKPLAY_PATH);
        env.push_back("VEK_CONFIG_DIR=" + config_.path());
        RunResult run = test::RunProgram(args, env, timeout_ms, interrupt_when);
        if (run.timed_out) ADD_FAILURE() << "vekplay did not finish in time";
        return run;
    }

    WavFile Wav(const std::string& name) {
        WavFile wav;
        EXPECT_TRUE(ReadWav(dir_.File(name), &wav)) << name;
        return wav;
    }

    test::TempDir dir_;
    test::TempDir config_;
};

const std::string kClip = "made/mpeg1_l3_cbr128_44k.mp3";
constexpr size_t kClipPcmBytes = 529200;  // 3 s at 44100 Hz, 16-bit stereo: no encoder gap

TEST_F(VekplayTest, FormatsFollowTheSettings) {
    struct Case {
        const char* set;
        int rate, channels, bits;
        size_t bytes;
    } cases[] = {
        {"DownSample=1", 22050, 2, 16, kClipPcmBytes / 2},
        {"DownSample=2", 11025, 2, 16, kClipPcmBytes / 4},
        {"Channels=0", 44100, 1, 16, kClipPcmBytes / 2},
        {"Channels=1", 44100, 1, 16, kClipPcmBytes / 2},
        {"Channels=2", 44100, 1, 16, kClipPcmBytes / 2},
        {"AudioOutput8Bit=1", 44100, 2, 8, kClipPcmBytes / 2},
        {"Gapless=0", 44100, 2, 16, 117 * 1152 * 4},  // every frame, the info frame too
    };
    int n = 0;
    for (const Case& c : cases) {
        std::string name = "f" + std::to_string(n++) + ".wav";
        RunResult run =
            Vekplay({"--quiet", "--wav", dir_.File(name), "--set", c.set, DataPath(kClip)});
        ASSERT_EQ(run.status, 0) << c.set << run.err;
        WavFile wav = Wav(name);
        EXPECT_EQ(wav.rate, c.rate) << c.set;
        EXPECT_EQ(wav.channels, c.channels) << c.set;
        EXPECT_EQ(wav.bits, c.bits) << c.set;
        EXPECT_EQ(wav.data.size(), c.bytes) << c.set;
    }
}

// The largest difference between the samples of a .wav file and the
// reference's scaled by factor: large when the scale is wrong or they clipped.
int Deviation(const WavFile& wav, size_t from, const std::vector<int16_t>& reference,
              double factor) {
    const auto* played = reinterpret_cast<const int16_t*>(wav.data.data()) + from;
    if (wav.data.size() / 2 != from + reference.size()) return INT32_MAX;
    double worst = 0;
    for (size_t i = 0; i < reference.size(); ++i)
        worst = std::max(worst, std::fabs(played[i] - reference[i] * factor));
    return static_cast<int>(std::lround(worst));
}

// Tagged copies of the clip against the clip as it decodes untagged.
TEST_F(VekplayTest, ReplayGainPlaysTheTaggedGainWithinThePeak) {
    ASSERT_EQ(Vekplay({"--quiet", "--wav", dir_.File("plain.wav"), DataPath(kClip)}).status, 0);
    WavFile wav = Wav("plain.wav");
    std::vector<int16_t> plain(wav.data.size() / 2);
    std::memcpy(plain.data(), wav.data.data(), wav.data.size());
    int loudest = 1;
    for (int16_t s : plain) loudest = std::max(loudest, std::abs(s));
    double peak = loudest / 32768.0;
    ASSERT_GT(peak, 0.32);  // +10 dB would clip
    using test::TagWriting;
    struct Case {
        TagWriting::Kind form;
        std::vector<std::pair<std::string, std::string>> tags;
        std::string mode;
        double factor;
    } cases[] = {
        {TagWriting::kId3v24, {{"REPLAYGAIN_TRACK_GAIN", "-6.00 dB"}}, "track", 0.501187},
        {TagWriting::kId3v24, {{"REPLAYGAIN_TRACK_GAIN", "-6.00 dB"}}, "off", 1},
        {TagWriting::kApe, {{"REPLAYGAIN_TRACK_GAIN", "-6.00 dB"}}, "track", 0.501187},
        {TagWriting::kId3v24, {{"REPLAYGAIN_TRACK_GAIN", "-6 dB"}}, "album", 0.501187},
        {TagWriting::kApe,
         {{"REPLAYGAIN_TRACK_GAIN", "-6"}, {"REPLAYGAIN_ALBUM_GAIN", "-2.5"}},
         "album",
         0.749894},
        {TagWriting::kId3v24, {{"REPLAYGAIN_TRACK_GAIN", "+10 dB"}}, "track", 1},
        {TagWriting::kId3v24,
         {{"REPLAYGAIN_TRACK_GAIN", "+10 dB"}, {"REPLAYGAIN_TRACK_PEAK", std::to_string(peak)}},
         "track",
         1 / peak},
        // Garbage is ignored; the encoder's own radio gain (-0.8 dB in the
        // clip's LAME tag) stands where no tag gives one.
        {TagWriting::kApe, {{"REPLAYGAIN_TRACK_GAIN", "loud"}}, "track", 0.912011},
    };
    int n = 0;
    for (const Case& c : cases) {
        std::string name = dir_.File("t" + std::to_string(n++));
        ASSERT_TRUE(test::WriteTaggedCopy(DataPath(kClip), name + ".mp3",
                                          {{.kind = c.form, .more = c.tags}}));
        ASSERT_EQ(
            Vekplay({"-q", "--replaygain", c.mode, "--wav", name + ".wav", name + ".mp3"}).status,
            0);
        ASSERT_TRUE(ReadWav(name + ".wav", &wav));
        EXPECT_LE(Deviation(wav, 0, plain, c.factor), c.factor == 1 ? 0 : 2) << n;
    }
    // The pre-amp adds to the gain; the next file, untagged, plays as it is.
    ASSERT_EQ(Vekplay({"-q", "--replaygain", "track", "--set", "ReplayGainPreamp=3", "--wav",
                       dir_.File("two.wav"), dir_.File("t0.mp3"), DataPath(kClip)})
                  .status,
              0);
    wav = Wav("two.wav");
    wav.data.resize(plain.size() * 2);
    EXPECT_LE(Deviation(wav, 0, plain, 0.707946), 2);
    wav = Wav("two.wav");
    EXPECT_EQ(Deviation(wav, plain.size(), plain, 1), 0);
}

TEST_F(VekplayTest, OverridesHoldForTheRunOnlyAndTheSettingsAreSaved) {
    RunResult run =
        Vekplay({"--quiet", "--wav", dir_.File("a.wav"), "--set", "DownSample=2", DataPath(kClip)});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Wav("a.wav").rate, 11025);
    IniFile ini;
    ASSERT_TRUE(IniLoad(&ini, (config_.path() + "/vek.ini").c_str()));
    EXPECT_EQ(IniGetInt(ini, "vek", "DownSample", -9), 0);
    EXPECT_EQ(IniGetInt(ini, "vek", "AudioOutputSystem", -9), 0);
}

// What a script reads from the status: 2 for a command line that cannot be
// meant (an output without a name to write), 1 when nothing at all played.
// No output is opened for a file that holds no audio.
TEST_F(VekplayTest, TheStatusTellsAWrongCommandLineAndARunThatPlayedNothing) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out, err;
    } cases[] = {
        {{"--version"}, 0, "vekplay " VEK_VERSION "\n", ""},
        {{"--wav", dir_.File("o.wav")}, 2, "", "vekplay: no NAME to play"},
        {{"--wav"}, 2, "", "vekplay: --wav needs a value"},
        {{"--quiet", "--no-such-option", DataPath(kClip)}, 2, "", "option --no-such-option"},
        {{"--replaygain", "loud", DataPath(kClip)}, 2, "", "--replaygain wants track, album"},
        // Repeat starts a list over only if something in it played.
        {{"--quiet", "--set", "RepeatPlay=1", "--wav", dir_.File("o.wav"),
          DataPath("made/not_audio.mp3"), DataPath("made/not_audio.mp3")},
         1,
         "",
         "Synchronization Error...: This does not look like a valid MPEG"},
        {{"--quiet", "--wav", dir_.File("o.wav"), dir_.File("absent.m3u")}, 1, "", "absent.m3u"},
    };
    for (const Case& c : cases) {
        RunResult run = Vekplay(c.args);
        EXPECT_EQ(run.status, c.status) << c.args.back() << run.err;
        EXPECT_EQ(run.out, c.out);
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    }
    EXPECT_FALSE(test::FileExists(dir_.File("o.wav")));
}

// A file is named by its tags, else by its file title.
TEST_F(VekplayTest, EachFileIsAnnouncedWithItsTitle) {
    std::string tagged = dir_.File("07 - track.mp3");
    ASSERT_TRUE(test::WriteTaggedCopy(DataPath(kClip), tagged,
                                      {{.title = "Song", .artists = {"Band", "Guest"}}}));
    RunResult run = Vekplay({"--wav", dir_.File("o.wav"), tagged, DataPath(kClip)});
    EXPECT_EQ(run.out, "Playing " + tagged + "\nTitle: Band, Guest - Song\nPlaying " +
                           DataPath(kClip) + "\nTitle: mpeg1_l3_cbr128_44k.mp3\n");
}

TEST_F(VekplayTest, AnEntryThatCannotBeOpenedIsReportedAndSkipped) {
    std::string missing = dir_.File("missing.mp3");
    RunResult run = Vekplay({"--quiet", "--wav", dir_.File("o.wav"), missing, DataPath(kClip)});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("Decoder Error Message...: Could not open file: " + missing),
              std::string::npos)
        << run.err;
    EXPECT_EQ(Wav("o.wav").data.size(), kClipPcmBytes);
}

TEST_F(VekplayTest, AnOutputThatCannotBeOpenedFailsTheRun) {
    std::string unwritable = dir_.File("no-such-folder/o.wav");
    RunResult run = Vekplay({"--quiet", "--wav", unwritable, DataPath(kClip)}, {}, 10000);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("Wave file output error: Could not open file."), std::string::npos)
        << run.err;
}

TEST_F(VekplayTest, EachNewFormatGetsANumberedFile) {
    RunResult run = Vekplay({"--quiet", "--wav", dir_.File("x.wav"), DataPath(kClip),
                             DataPath("made/mpeg1_l3_crc_48k.mp3")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Wav("x.wav").rate, 44100);
    EXPECT_EQ(Wav("x-2.wav").rate, 48000);
}

TEST_F(VekplayTest, PlaysThroughTheSoundDeviceAtRealTimePace) {
    std::string disk = dir_.File("device.raw");
    RunResult run =
        Vekplay({DataPath(kClip)}, {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + disk});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Playing " + DataPath(kClip)), std::string::npos) << run.out;
    // Three seconds of audio take about three seconds to play out.
    EXPECT_GT(run.seconds, 2.5);
    std::vector<uint8_t> received = test::ReadFileBytes(disk);
    EXPECT_GE(received.size(), kClipPcmBytes);
    size_t loud = 0;
    for (size_t i = 0; i + 1 < received.size(); i += 2)
        loud += std::abs(static_cast<int16_t>(received[i] | received[i + 1] << 8)) > 1000;
    EXPECT_GT(loud, 1000u) << "the device received sound, not silence";
}

// A tone cut in two at an odd sample and encoded as two files reaches the
// sound device as one: no pause, and no step beyond the tone's own and the
// encoder's noise at each half's cut edge (up to twice the tone's step). With
// --no-gapless the encoder's padding and delay and the info frame make a pause.
TEST_F(VekplayTest, TwoHalvesOfAToneReachTheDeviceWithoutAGap) {
    std::vector<int16_t> halves[2];
    for (int i = 0; i < 44100; ++i) {
        auto v = static_cast<int16_t>(10000 * std::sin(2 * M_PI * 440 * i / 44100));
        halves[i >= 20011].insert(halves[i >= 20011].end(), {v, v});
    }
    std::vector<std::string> args = {"--quiet"};
    for (int h : {0, 1}) {
        std::string raw = dir_.File(std::to_string(h) + ".raw");
        ASSERT_TRUE(test::WriteFileBytes(raw, halves[h].data(), halves[h].size() * 2));
        args.push_back(raw + ".mp3");
        ASSERT_EQ(test::EncodeWithLame(raw, args.back(), {"-r", "-s", "44.1", "-b", "192"}), "");
    }
    for (bool gapless : {true, false}) {
        if (!gapless) args.push_back("--no-gapless");
        std::string disk = dir_.File("device.raw");
        RunResult run = Vekplay(args, {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + disk});
        ASSERT_EQ(run.status, 0) << run.err;
        std::vector<uint8_t> bytes = test::ReadFileBytes(disk);
        std::vector<int> left;  // the device's volume scales the tone: measured from its peak
        int peak = 0, quiet = 0, longest_quiet = 0, step = 0;
        for (size_t i = 0; i + 3 < bytes.size(); i += 4) {
            left.push_back(static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8));
            peak = std::max(peak, std::abs(left.back()));
        }
        auto loud = [peak](int v) { return std::abs(v) > peak / 2; };
        auto first = std::find_if(left.begin(), left.end(), loud);
        auto last = std::find_if(left.rbegin(), left.rend(), loud).base();
        ASSERT_LT(first, last) << "no tone";
        for (auto it = first + 1; it < last; ++it) {
            quiet = std::abs(*it) < peak / 10 ? quiet + 1 : 0;
            longest_quiet = std::max(longest_quiet, quiet);
            step = std::max(step, std::abs(*it - it[-1]));
        }
        EXPECT_TRUE(gapless ? longest_quiet < 8 : longest_quiet > 1000) << longest_quiet;
        if (!gapless) continue;
        EXPECT_LT(step, 4 * peak * 2 * M_PI * 440 / 44100) << "a step in the tone";
    }
}

TEST_F(VekplayTest, APauseResumesAfterItsLength) {
    std::string disk = dir_.File("device.raw");
    RunResult run = Vekplay({"--quiet", "--pause", "1.5@0.5", DataPath(kClip)},
                            {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + disk}, 15000);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_GT(run.seconds, 4.0) << "three seconds of audio and a pause of one and a half";
    // A paused device plays silence: one stretch of it, as long as the pause.
    auto samples = [](const std::vector<uint8_t>& bytes) {
        std::vector<int16_t> out(bytes.size() / 2);
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = static_cast<int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
        return out;
    };
    std::vector<int16_t> received = samples(test::ReadFileBytes(disk));
    size_t longest = 0, run_length = 0, sounding = 0;
    for (int16_t v : received) {
        run_length = v == 0 ? run_length + 1 : 0;
        longest = std::max(longest, run_length);
        sounding += v != 0;
    }
    double silent_seconds = static_cast<double>(longest) / (2 * 44100);
    EXPECT_GT(silent_seconds, 1.0);
    EXPECT_LT(silent_seconds, 3.0);
    // After it the rest of the track: as much sound as the whole clip holds.
    size_t reference = 0;
    for (int16_t v : samples(test::ReadFileBytes(DataPath("made/mpeg1_l3_cbr128_44k.pcm"))))
        reference += v != 0;
    EXPECT_GT(sounding, reference * 9 / 10);
}

// A stop ends the track where it is. (How long the run took says nothing: a
// sanitized build on a busy machine takes seconds to start and to end.)
TEST_F(VekplayTest, AStopPlaysNothingMoreOfTheTrack) {
    std::string disk = dir_.File("device.raw");
    RunResult run = Vekplay({"--quiet", "--stop@1", DataPath(kClip)},
                            {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + disk});
    ASSERT_EQ(run.status, 0) << run.err;
    size_t received = test::ReadFileBytes(disk).size();
    EXPECT_LT(received, kClipPcmBytes * 3 / 4) << "the rest of the track was played";
}

TEST_F(VekplayTest, WithoutASoundDeviceTheDevicesErrorIsFollowedByTheWavHint) {
    struct Case {
        std::vector<std::string> env;
        std::string device_error;
    } cases[] = {
        {{"SDL_AUDIODRIVER=no-such-driver"}, "Audio target 'no-such-driver' not available"},
        {{"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + dir_.File("absent/device.raw")},
         "Couldn't open " + dir_.File("absent/device.raw")},
    };
    for (const Case& c : cases) {
        RunResult run = Vekplay({"--quiet", DataPath(kClip)}, c.env);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("waveOutOpen: " + c.device_error +
                               "\nvekplay: no sound device; use --wav FILE to write a .wav file\n"),
                  std::string::npos)
            << run.err;
    }
}

TEST_F(VekplayTest, SigintEndsAPlaylistLoadAtOnce) {
    // Three small lists asking for a billion entries: the load is still under
    // way when the signal comes.
    auto repeat = [&](const std::string& name, const std::string& line) {
        std::string text;
        for (int i = 0; i < 1000; ++i) text += line + "\n";
        ASSERT_TRUE(test::WriteFileText(dir_.File(name), text));
    };
    repeat("a.m3u", "b.m3u");
    repeat("b.m3u", "c.m3u");
    repeat("c.m3u", DataPath(kClip));
    RunResult run =
        Vekplay({"--quiet", "--wav", dir_.File("o.wav"), dir_.File("a.m3u")}, {}, 5000, BlocksSigint);
    EXPECT_EQ(run.status, 130) << run.err;
    EXPECT_LT(run.after_interrupt, 1.0);
    EXPECT_EQ(run.err, "") << "no box for a load the user stopped";
}

TEST_F(VekplayTest, PlaysAnHttpStream) {
    test::HttpTestServer server;
    std::vector<uint8_t> clip = test::ReadFileBytes(DataPath(kClip));
    server.Serve("/clip.mp3", test::HttpReply::Bytes(std::string(clip.begin(), clip.end())));
    RunResult run = Vekplay({"--quiet", "--wav", dir_.File("s.wav"), server.Url("/clip.mp3")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Wav("s.wav").data.size(), kClipPcmBytes);
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].Header("User-Agent"), "VekMP3 v0.90");
}

// Reached through the station's link; titles in Latin-1 and in UTF-8, with
// terminal controls in them, come out as clean UTF-8.
TEST_F(VekplayTest, PlaysAStationsLinkAndPrintsItsTitlesAsTheyChange) {
    test::HttpTestServer server;
    std::vector<uint8_t> clip = test::ReadFileBytes(DataPath(kClip));
    test::HttpReply reply =
        test::HttpReply::Radio(test::IcyBody(std::string(clip.begin(), clip.end()), 8192,
                                             {"StreamTitle='Caf\xe9 \x9b"
                                              "31m';",
                                              "StreamTitle='Caf\xe9 \x9b"
                                              "31m';",
                                              "StreamTitle='\xc3\xa9t\xc3\xa9 \x1b[2J';"}),
                               8192);
    reply.send_length = true;
    server.Serve("/radio", reply);
    test::HttpReply link = test::HttpReply::Bytes("[playlist]\nNumberOfEntries=1\nFile1=radio\n");
    link.headers.push_back("Content-Type: audio/x-scpls");
    server.Serve("/station.pls", link);
    RunResult run = Vekplay({"--wav", dir_.File("r.wav"), server.Url("/station.pls")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "Playing " + server.Url("/radio") +
                  "\nTitle: Test Radio\nTitle: Caf\xc3\xa9 31m\nTitle: \xc3\xa9t\xc3\xa9 [2J\n");
}

}  // namespace
}  // namespace vek
