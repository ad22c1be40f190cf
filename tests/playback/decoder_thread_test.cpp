// The decoder thread end to end: real files through the real reader, decoder
// and .wav writer, commanded and answered the way the main window does.
#include "engine/decoder_thread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "engine/track_length.h"
#include "output/output_system.h"
#include "platform/messages.h"
#include "playlist/playlist.h"
#include "settings/settings.h"
#include "tests/playback/playback_harness.h"
#include "tests/support/encoded_clip.h"
#include "tests/support/test_support.h"

namespace vek {
namespace {

using test::DataPath;
using test::PlaybackHarness;
using test::ReadWav;
using test::ReferencePcm;
using test::WavFile;

const char* const kCbr44 = "made/mpeg1_l3_cbr128_44k.mp3";
const char* const kVbr44 = "made/mpeg1_l3_vbr_44k.mp3";
const char* const kCrc48 = "made/mpeg1_l3_crc_48k.mp3";

std::string Pcm(const char* mp3) {
    std::string name = mp3;
    return name.substr(0, name.rfind('.')) + ".pcm";
}

class DecoderThreadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetSettingsToDefaults();
        gSettings.AudioOutputSystem = 1;  // .wav files, so every sample can be checked
        gSettings.Gapless = 0;            // as the references were decoded
        ClearPlaylist();
        desktop_.SetSaveNames({Out(1), Out(2), Out(3)});
    }
    void TearDown() override { ClearPlaylist(); }

    std::string Out(int n) const { return dir_.File("out" + std::to_string(n) + ".wav"); }
    WavFile ReadOut(int n) const {
        WavFile wav;
        EXPECT_TRUE(ReadWav(Out(n), &wav)) << Out(n);
        return wav;
    }
    void Queue(std::initializer_list<const char*> names) {
        for (const char* name : names) ASSERT_TRUE(AddFileByName(DataPath(name).c_str()));
        ASSERT_TRUE(SelectEntry(0));
    }
    static void PlayCurrent() {
        char path[kPathField];
        ASSERT_TRUE(GetCurrentPath(path, sizeof path));
        PostPlay(path);
    }

    test::ScopedConfigDir config_;
    test::TempDir dir_;
    test::RecordingDesktop desktop_;
};

TEST_F(DecoderThreadTest, TracksAtOneRateGoIntoOneFileWithEverySample) {
    Queue({kCbr44, kVbr44});
    PlaybackHarness player;
    PlayCurrent();
    ASSERT_TRUE(player.PlayToEnd(20000));
    ASSERT_TRUE(player.Stop());

    EXPECT_EQ(desktop_.SaveRequests(), 1) << "the output stays open between tracks";
    WavFile wav = ReadOut(1);
    EXPECT_EQ(wav.rate, 44100);
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.bits, 16);
    EXPECT_TRUE(wav.data == ReferencePcm({Pcm(kCbr44), Pcm(kVbr44)}))
        << "got " << wav.data.size() << " bytes";
    EXPECT_EQ(player.Count(UIM_PLAY_STARTED), 2);
    EXPECT_EQ(player.Count(UIM_TRACK_ENDED), 2);
}

TEST_F(DecoderThreadTest, AnotherRateStartsASecondFileAndNeitherLosesItsTail) {
    Queue({kCbr44, kCrc48});
    PlaybackHarness player;
    PlayCurrent();
    ASSERT_TRUE(player.PlayToEnd(20000));
    ASSERT_TRUE(player.Stop());

    EXPECT_EQ(desktop_.SaveRequests(), 2);
    WavFile first = ReadOut(1), second = ReadOut(2);
    EXPECT_EQ(first.rate, 44100);
    EXPECT_EQ(second.rate, 48000);
    EXPECT_TRUE(first.data == ReferencePcm({Pcm(kCbr44)})) << first.data.size();
    EXPECT_TRUE(second.data == ReferencePcm({Pcm(kCrc48)})) << second.data.size();
}

TEST_F(DecoderThreadTest, ReportsComeInTheirOrderAndThePercentageNeverRepeats) {
    Queue({kCbr44});
    PlaybackHarness player;
    PlayCurrent();
    ASSERT_TRUE(player.PlayToEnd(20000));
    const auto& r = player.reports();
    ASSERT_GE(r.size(), 4u);
    EXPECT_EQ(r[0].message, UIM_PROGRESS);
    EXPECT_EQ(r[0].lparam, 0);
    EXPECT_EQ(r[1].message, UIM_PLAY_STARTED);
    EXPECT_EQ(r[r.size() - 2].message, UIM_PROGRESS);
    EXPECT_EQ(r[r.size() - 2].lparam, 100);
    EXPECT_EQ(r.back().message, UIM_TRACK_ENDED);
    // Between the sent 0 and 100, the posted values rise without repeating,
    // and the ring sees the way between: the clip's 117 frames give a new
    // percentage almost every frame.
    int between = 0;
    for (size_t i = 3; i + 2 < r.size(); ++i) {
        ASSERT_EQ(r[i].message, UIM_PROGRESS);
        EXPECT_GT(r[i].lparam, r[i - 1].lparam) << "at " << i;
        between += r[i].lparam > 0 && r[i].lparam < 100;
    }
    EXPECT_GE(between, 90);
    EXPECT_GE(r[r.size() - 3].lparam, 95) << "the last value posted before the end";
}

// How often the thread of that name went to sleep so far (each sleep ends in
// a voluntary switch, however busy the machine); -1 when no thread has it.
long long SleepsOfThread(const std::string& name) {
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string line;
        if (!std::getline(comm, line) || line != name) continue;
        std::ifstream status(task.path() / "status");
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
                return std::atoll(line.c_str() + 24);
        }
    }
    return -1;
}

// The clip gives a hundred percentages. A window draws each, so the thread
// yields at each one while it writes a file; a terminal player has nothing to
// wait for and the thread sleeps only in the few sends around the track.
TEST_F(DecoderThreadTest, YieldsAtEachPercentageOnlyForAWindow) {
    const struct {
        ProgressPacing pacing;
        long long at_least, at_most;
    } cases[] = {{ProgressPacing::ForWindow, 100, 1000000}, {ProgressPacing::None, 0, 50}};
    for (const auto& c : cases) {
        ClearPlaylist();
        Queue({kCbr44});
        PlaybackHarness player(c.pacing);
        long long before = SleepsOfThread("vek-decoder");
        ASSERT_GE(before, 0) << "the decoder thread carries its name";
        PlayCurrent();
        ASSERT_TRUE(player.PlayToEnd(20000));
        long long sleeps = SleepsOfThread("vek-decoder") - before;
        EXPECT_GE(sleeps, c.at_least) << static_cast<int>(c.pacing) << ": " << sleeps;
        EXPECT_LE(sleeps, c.at_most) << static_cast<int>(c.pacing) << ": " << sleeps;
        EXPECT_EQ(player.Count(UIM_TRACK_ENDED), 1);
    }
}

// Hooks that run on the decoder thread at a known point: the .wav writer asks
// for its file name when the first frame of a track has been read.
struct MidTrack {
    std::atomic<int> calls{0};
    std::vector<std::string> names;
    std::function<void(int call)> act;  // runs on the decoder thread
};
MidTrack* g_mid = nullptr;

bool MidTrackChooser(Window*, const char*, const char*, const char*, const char*, char* out,
                     size_t size) {
    int call = g_mid->calls++;
    if (g_mid->act) g_mid->act(call);
    if (static_cast<size_t>(call) >= g_mid->names.size()) return false;
    std::snprintf(out, size, "%s", g_mid->names[call].c_str());
    return true;
}

int SilentBox(Window*, const char*, const char*, unsigned) {
    return IDOK;
}

class MidTrackTest : public DecoderThreadTest {
  protected:
    void SetUp() override {
        DecoderThreadTest::SetUp();
        mid_.names = {Out(1), Out(2), Out(3)};
        g_mid = &mid_;
        SetDesktopHooks(DesktopHooks{SilentBox, MidTrackChooser});
    }
    void TearDown() override {
        SetDesktopHooks(HeadlessDesktopHooks());
        g_mid = nullptr;
        DecoderThreadTest::TearDown();
    }
    MidTrack mid_;
};

char g_other_path[kPathField];

TEST_F(MidTrackTest, PlayFileDuringPlayIsDropped) {
    std::snprintf(g_other_path, sizeof g_other_path, "%s", DataPath(kCrc48).c_str());
    mid_.act = [](int call) {
        if (call == 0)
            PostThreadText(CurrentThreadId(), DTM_PLAY_FILE, g_other_path);
    };
    Queue({kCbr44});
    PlaybackHarness player;
    PlayCurrent();
    ASSERT_TRUE(player.PlayToEnd(20000));
    ASSERT_TRUE(player.Stop());
    EXPECT_EQ(player.Count(UIM_PLAY_STARTED), 1);
    EXPECT_EQ(mid_.calls.load(), 1);
    EXPECT_TRUE(ReadOut(1).data == ReferencePcm({Pcm(kCbr44)}));
}

// Of a burst of stops and plays (as from a desktop widget), only the last plays.
TEST_F(MidTrackTest, StopThenPlayFileBurstPlaysTheLastPathAndKeepsNothingOfTheOld) {
    std::snprintf(g_other_path, sizeof g_other_path, "%s", DataPath(kCrc48).c_str());
    mid_.act = [](int call) {
        for (int i = 0; call == 0 && i < 100; ++i) {
            PostThreadMessage(CurrentThreadId(), DTM_STOP, 0, 0);
            PostThreadText(CurrentThreadId(), DTM_PLAY_FILE, g_other_path);
        }
    };
    Queue({kCbr44});
    PlaybackHarness player;
    PlayCurrent();
    ASSERT_TRUE(player.PumpUntil([&] { return player.Count(UIM_TRACK_ENDED) == 1; }, 20000));
    ASSERT_TRUE(player.Stop());
    EXPECT_EQ(player.Count(UIM_PLAY_STARTED), 2);
    EXPECT_EQ(ReadOut(1).data.size(), 0u) << "the stopped track's samples are discarded";
    EXPECT_TRUE(ReadOut(2).data == ReferencePcm({Pcm(kCrc48)}));
}

TEST_F(MidTrackTest, SeekToTheMiddleContinuesFromTheMiddle) {
    mid_.act = [](int call) {
        if (call == 0) PostThreadMessage(CurrentThreadId(), DTM_SEEK, 0, 50);
    };
    Queue({kCbr44});
    PlaybackHarness player;
    PlayCurrent();
    ASSERT_TRUE(player.PlayToEnd(20000));
    ASSERT_TRUE(player.Stop());

    constexpr size_t kFrameBytes = 1152 * 4;
    std::vector<uint8_t> reference = ReferencePcm({Pcm(kCbr44)});
    size_t total_frames = reference.size() / kFrameBytes;
    WavFile wav = ReadOut(1);
    size_t frames = wav.data.size() / kFrameBytes;
    EXPECT_GT(frames, total_frames * 4 / 10);
    EXPECT_LT(frames, total_frames * 6 / 10);
    // Apart from the first frames after the jump (empty bit reservoir, fresh
    // synthesis), what follows is the track's second half, sample for sample.
    ASSERT_GT(frames, 3u);
    size_t compare = (frames - 3) * kFrameBytes;
    EXPECT_TRUE(std::equal(wav.data.end() - static_cast<long>(compare), wav.data.end(),
                           reference.end() - static_cast<long>(compare)));
    // Progress jumps to the middle: nothing between the start and 49 is posted.
    bool saw_middle = false;
    for (const test::Report& r : player.reports()) {
        if (r.message != UIM_PROGRESS) continue;
        if (r.lparam == 49) saw_middle = true;
        EXPECT_FALSE(r.lparam > 0 && r.lparam < 49) << r.lparam;
    }
    EXPECT_TRUE(saw_middle);
}

// The time shown after a seek counts from the place sought, not from the
// seconds heard since the start (a fraction of one here).
TEST_F(DecoderThreadTest, ASeekSetsTheSecondsTheDeviceCountsFrom) {
    gSettings.AudioOutputSystem = 0;  // the sound device keeps the seconds
    Queue({kCbr44});
    PlaybackHarness player;
    bool sought = false;
    int seconds = -1;
    player.on_report = [&](uint32_t message, intptr_t percent) {
        if (message != UIM_PROGRESS || percent == 0 || seconds >= 0) return false;
        if (!sought) PostSeek(90, player.decoder());
        if (sought && percent >= 89) seconds = Output().GetSeconds();
        sought = true;
        return false;
    };
    PlayCurrent();
    ASSERT_TRUE(player.PumpUntil([&] { return seconds >= 0; }, 20000));
    ASSERT_TRUE(player.Stop());
    // 90 % of the 3.06 s clip; a busy machine may let the device play on
    // before the report is read.
    EXPECT_GE(seconds, 2);
    EXPECT_LE(seconds, 3);
}

TEST_F(MidTrackTest, AVbrFileSeeksThroughItsTableAndProgressNeverPassesAHundred) {
    std::string wav_in = dir_.File("in.wav"), mp3 = dir_.File("v0.mp3");
    ASSERT_TRUE(test::WriteTestWav(wav_in, 12));
    ASSERT_EQ(test::EncodeWithLame(wav_in, mp3, {"-V", "0"}), "");
    mid_.act = [](int call) {
        if (call == 0) PostThreadMessage(CurrentThreadId(), DTM_SEEK, 0, 50);
    };
    ASSERT_TRUE(AddFileByName(mp3.c_str()));
    ASSERT_TRUE(SelectEntry(0));
    PlaybackHarness player;
    PlayCurrent();
    ASSERT_TRUE(player.PlayToEnd(20000));
    ASSERT_TRUE(player.Stop());

    // Where the seek lands the engine's own tests check; here the percentage
    // the window is shown goes on from there.
    std::vector<intptr_t> posted;
    for (const test::Report& r : player.reports())
        if (r.message == UIM_PROGRESS) posted.push_back(r.lparam);
    ASSERT_GE(posted.size(), 3u);
    for (intptr_t p : posted) {
        EXPECT_LE(p, 100);
        EXPECT_FALSE(p > 0 && p < 49) << "progress continues from the middle, not " << p;
    }
    EXPECT_NE(std::find(posted.begin(), posted.end(), 49), posted.end());
    EXPECT_EQ(posted.back(), 100);
}

TEST_F(MidTrackTest, QuitDuringPlayEndsTheThreadWithoutATrackEnd) {
    mid_.act = [](int call) {
        if (call == 0) PostThreadMessage(CurrentThreadId(), WM_QUIT, 0, 0);
    };
    Queue({kCbr44});
    PlaybackHarness player;
    PlayCurrent();
    ASSERT_TRUE(player.PumpUntil([&] { return mid_.calls.load() == 1; }, 5000));
    ASSERT_TRUE(player.Stop(3000));
    player.PumpUntil([] { return false; }, 50);
    EXPECT_EQ(player.Count(UIM_PLAY_STARTED), 1);
    EXPECT_EQ(player.Count(UIM_TRACK_ENDED), 0);
    WavFile wav = ReadOut(1);  // the file was finished properly
    EXPECT_EQ(wav.riff_size, 38u + wav.data_size);
}

TEST_F(DecoderThreadTest, AnUnopenablePathIsReportedAndALaterPlayTriesItAgain) {
    std::string path = dir_.File("later.mp3");
    PlaybackHarness player;
    PostPlay(path.c_str());
    ASSERT_TRUE(
        player.PumpUntil([&] { return desktop_.Count("Decoder Error Message...") == 1; }, 5000));
    std::vector<test::Box> boxes = desktop_.Boxes();
    EXPECT_EQ(boxes[0].text, "Could not open file: " + path);
    ASSERT_TRUE(player.PumpUntil([&] { return !player.reports().empty(); }, 5000));
    player.PumpUntil([] { return false; }, 50);
    ASSERT_EQ(player.reports().size(), 1u) << "only the failure is reported";
    EXPECT_EQ(player.reports()[0].message, UIM_OPEN_FAILED);

    std::vector<uint8_t> clip = test::ReadFileBytes(DataPath(kCbr44));
    ASSERT_TRUE(test::WriteFileBytes(path, clip.data(), clip.size()));
    PostPlay(nullptr);  // DTM_PLAY: the remembered path again
    ASSERT_TRUE(player.PumpUntil([&] { return player.Count(UIM_TRACK_ENDED) == 1; }, 20000));
    EXPECT_EQ(player.Count(UIM_PLAY_STARTED), 1);
}

TEST_F(DecoderThreadTest, AnOutputThatWillNotOpenStopsTheTrackAndIsReported) {
    desktop_.SetSaveNames({});  // the save chooser is cancelled: the .wav writer cannot open
    Queue({kCbr44});
    PlaybackHarness player;
    PlayCurrent();
    ASSERT_TRUE(player.PumpUntil([&] { return player.Count(UIM_OUTPUT_FAILED) == 1; }, 5000));
    player.PumpUntil([] { return false; }, 50);
    EXPECT_EQ(player.Count(UIM_PLAY_STARTED), 1);
    EXPECT_EQ(player.Count(UIM_TRACK_ENDED), 0) << "the track was stopped, not ended";
    EXPECT_EQ(player.reports().back().message, UIM_OUTPUT_FAILED);
}

TEST_F(DecoderThreadTest, RepeatWithOneEntryPlaysItAgainIntoTheSameOutput) {
    gSettings.RepeatPlay = 1;
    Queue({kCbr44});
    PlaybackHarness player;
    player.stop_after_track_ends = 3;
    PlayCurrent();
    ASSERT_TRUE(player.PlayToEnd(20000));
    ASSERT_TRUE(player.Stop());
    EXPECT_EQ(player.Count(UIM_PLAY_STARTED), 3);
    EXPECT_EQ(desktop_.SaveRequests(), 1);
    EXPECT_TRUE(ReadOut(1).data == ReferencePcm({Pcm(kCbr44), Pcm(kCbr44), Pcm(kCbr44)}));
}

TEST_F(DecoderThreadTest, EightBitSettingChangedAfterStartClosesBeforeEveryTrack) {
    Queue({kCbr44, kVbr44});
    PlaybackHarness player;
    // Changed after the thread started: compared with the value at its start.
    player.PumpUntil([] { return false; }, 20);
    gSettings.AudioOutput8Bit = 1;
    PlayCurrent();
    ASSERT_TRUE(player.PlayToEnd(20000));
    ASSERT_TRUE(player.Stop());
    EXPECT_EQ(desktop_.SaveRequests(), 2);
    for (int n : {1, 2}) {
        WavFile wav = ReadOut(n);
        EXPECT_EQ(wav.bits, 8);
        std::vector<uint8_t> reference = ReferencePcm({Pcm(n == 1 ? kCbr44 : kVbr44)});
        ASSERT_EQ(wav.data.size(), reference.size() / 2) << n;
        for (size_t i = 0; i < wav.data.size(); ++i) {
            int16_t s = static_cast<int16_t>(reference[2 * i] | reference[2 * i + 1] << 8);
            ASSERT_EQ(wav.data[i], static_cast<uint8_t>((s >> 8) + 128)) << n << " sample " << i;
        }
    }
}

TEST_F(DecoderThreadTest, SwitchingEightBitOffAgainReopensTheOutput) {
    // 16-bit, then 8-bit, then 16-bit again: the last track must not go into
    // the output opened for 8-bit samples.
    desktop_.SetSaveNames({Out(1), Out(2), Out(3)});
    Queue({kCbr44, kVbr44, kCbr44});
    PlaybackHarness player;
    player.on_report = [&player](uint32_t message, intptr_t) {
        if (message == UIM_TRACK_ENDED)
            gSettings.AudioOutput8Bit = player.Count(UIM_TRACK_ENDED) == 1;
        return false;
    };
    PlayCurrent();
    ASSERT_TRUE(player.PlayToEnd(20000));
    ASSERT_TRUE(player.Stop());
    ASSERT_EQ(desktop_.SaveRequests(), 3);
    EXPECT_EQ(ReadOut(2).bits, 8);
    WavFile last = ReadOut(3);
    EXPECT_EQ(last.bits, 16);
    EXPECT_TRUE(last.data == ReferencePcm({Pcm(kCbr44)}));
}

TEST_F(DecoderThreadTest, AChannelModeChangeBetweenTracksReopensTheOutput) {
    // Same rate, but the second track is to be mono: the open stereo output
    // must not be reused for it.
    Queue({kCbr44, kVbr44});
    PlaybackHarness player;
    player.on_report = [](uint32_t message, intptr_t) {
        if (message == UIM_TRACK_ENDED) gSettings.Channels = 0;
        return false;
    };
    PlayCurrent();
    ASSERT_TRUE(player.PlayToEnd(20000));
    ASSERT_TRUE(player.Stop());
    EXPECT_EQ(desktop_.SaveRequests(), 2);
    WavFile first = ReadOut(1), second = ReadOut(2);
    EXPECT_EQ(first.channels, 2);
    EXPECT_TRUE(first.data == ReferencePcm({Pcm(kCbr44)}));
    EXPECT_EQ(second.channels, 1);
    std::vector<uint8_t> reference = ReferencePcm({Pcm(kVbr44)});
    ASSERT_EQ(second.data.size(), reference.size() / 2);
    // The one-channel synthesis rounds on its own path: within one step of the
    // stereo decode's left channel.
    int worst = 0;
    for (size_t i = 0; i + 1 < second.data.size(); i += 2) {
        int mono = static_cast<int16_t>(second.data[i] | second.data[i + 1] << 8);
        int left = static_cast<int16_t>(reference[2 * i] | reference[2 * i + 1] << 8);
        worst = std::max(worst, std::abs(mono - left));
    }
    EXPECT_LE(worst, 1) << "the mono output is the left channel";
}

// ---- Gapless --------------------------------------------------------------

// Writes over mp3's bytes after marker; gives the three there (LAME, 21: the gap).
uint32_t Patch(const std::string& mp3, const std::string& marker, size_t offset,
               const std::vector<uint8_t>& with) {
    std::vector<uint8_t> bytes = test::ReadFileBytes(mp3);
    auto at = std::search(bytes.begin(), bytes.end(), marker.begin(), marker.end()) + offset;
    uint32_t was = static_cast<uint32_t>(at[0] << 16 | at[1] << 8 | at[2]);
    std::copy(with.begin(), with.end(), at);
    EXPECT_TRUE(test::WriteFileBytes(mp3, bytes.data(), bytes.size()));
    return was;
}

// Files lame made from 1 s of audio play exactly those samples, as mpg123
// decodes them; tracks of one format share an output.
TEST_F(DecoderThreadTest, GaplessTracksHoldTheirSourcesSamplesAsMpg123DecodesThem) {
    gSettings.Gapless = 1;
    const struct {
        const char* name;
        int rate, output;
        std::vector<std::string> lame;
    } tracks[] = {
        {"cbr", 44100, 1, {"-b", "128"}},         {"v2", 44100, 1, {"-V", "2"}},
        {"abr", 44100, 1, {"--abr", "160"}},      {"itunes", 44100, 1, {"-t", "-b", "128"}},
        {"plain", 44100, 1, {"-t", "-b", "128"}},  // nothing stated: every frame plays
        {"hostile", 44100, 1, {"-b", "128"}},     {"v0", 48000, 2, {"-V", "0"}},
        {"mpeg2", 22050, 3, {"-b", "64"}},  // 576 samples a frame
    };
    std::vector<uint8_t> expected[4];
    for (const auto& t : tracks) {
        std::string wav = dir_.File(std::to_string(t.rate) + ".wav"), name = t.name;
        std::string mp3 = dir_.File(name + ".mp3"), reference = mp3;
        ASSERT_TRUE(test::WriteTestWav(wav, 1, t.rate));
        ASSERT_EQ(test::EncodeWithLame(wav, mp3, t.lame), "");
        std::vector<std::string> options;
        if (name == "itunes") {  // no info frame: cbr.mp3's gap in an iTunSMPB comment
            uint32_t gap = Patch(dir_.File("cbr.mp3"), "LAME", 21, {});
            char value[64];
            std::snprintf(value, sizeof value, " 0 %X %X AC44", gap >> 12, gap & 0xFFF);
            std::string body = std::string("\0engiTunSMPB\0", 13) + value;
            std::string frame = "COMM" + std::string{0, 0, 0, char(body.size()), 0, 0} + body;
            std::string tag = "ID3" + std::string{3, 0, 0, 0, 0, 0, char(frame.size())} + frame;
            ASSERT_TRUE(test::WriteFileText(mp3, tag + test::ReadFileText(mp3)));
            reference = dir_.File("cbr.mp3");
        } else if (name == "hostile") {  // a trim longer than the stream it states: ignored
            Patch(mp3, "Info", 8, {0, 0, 0, 1});
            Patch(mp3, "LAME", 21, {0xFF, 0xFF, 0xFF});
            options = {"--no-gapless"};
        }
        std::vector<uint8_t> pcm = test::DecodeWithMpg123(reference, dir_.File("ref.wav"), options);
        if (name != "hostile" && name != "plain") {
            EXPECT_EQ(pcm.size(), static_cast<size_t>(t.rate) * 4) << name;
            EXPECT_EQ(MeasureTrackMs(mp3.c_str()), 1000) << name;
        }
        expected[t.output].insert(expected[t.output].end(), pcm.begin(), pcm.end());
        ASSERT_TRUE(AddFileByName(mp3.c_str()));
    }
    ASSERT_TRUE(SelectEntry(0));
    PlaybackHarness player;
    PlayCurrent();
    ASSERT_TRUE(player.PlayToEnd(20000));
    ASSERT_TRUE(player.Stop());
    EXPECT_EQ(desktop_.SaveRequests(), 3) << "one output for each format";
    for (int n : {1, 2, 3}) EXPECT_TRUE(ReadOut(n).data == expected[n]) << n;
    EXPECT_EQ(PlayingTrackMs(), 1000) << "the last track's length";
}

// After a seek the track ends as the gapless decode does; a seek to the start
// plays it whole again.
TEST_F(MidTrackTest, AfterAGaplessSeekTheTrackEndsAsWhenPlayedWhole) {
    gSettings.Gapless = 1;
    std::vector<uint8_t> whole = test::DecodeWithMpg123(DataPath(kCbr44), dir_.File("ref.wav"));
    for (int percent : {0, 50}) {
        mid_.calls = 0;
        mid_.act = [percent](int call) {
            if (call == 0) PostThreadMessage(CurrentThreadId(), DTM_SEEK, 0, percent);
        };
        Queue({kCbr44});
        PlaybackHarness player;
        PlayCurrent();
        ASSERT_TRUE(player.PlayToEnd(20000));
        ASSERT_TRUE(player.Stop());
        std::vector<uint8_t> got = ReadOut(1).data;
        // Past the first frames after a jump (bit reservoir, synthesis), the same samples.
        size_t same = percent == 0 ? whole.size() : got.size() - 3 * 1152 * 4;
        ASSERT_GE(got.size(), same) << percent;
        EXPECT_TRUE(std::equal(got.end() - long(same), got.end(), whole.end() - long(same)));
        EXPECT_EQ(got.size() == whole.size(), percent == 0) << got.size();
        ClearPlaylist();
    }
}

}  // namespace
}  // namespace vek
