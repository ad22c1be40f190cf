// The sound device driven through the table against SDL's disk driver, which
// writes every byte the device plays into a file. SDL_DISKAUDIODELAY=1 makes it
// take one callback's worth of audio per millisecond, about 23 times real time.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "output/outputs.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"

namespace vek {
namespace {

using namespace std::chrono_literals;

// Bytes that never equal the silence value, so the played stretch can be found.
std::vector<uint8_t> Pattern(size_t size, uint32_t seed, uint8_t silence) {
    std::vector<uint8_t> bytes(size);
    uint32_t x = seed * 2654435761u + 1;
    for (uint8_t& b : bytes) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(x >> 24);
        if (b == silence) b = static_cast<uint8_t>(silence + 1);
    }
    return bytes;
}

std::vector<uint8_t> Concat(const std::vector<std::vector<uint8_t>>& parts) {
    std::vector<uint8_t> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// What the device played between the first and the last byte that is not
// silence.
std::vector<uint8_t> Audible(const std::vector<uint8_t>& received, uint8_t silence) {
    auto first =
        std::find_if(received.begin(), received.end(), [&](uint8_t b) { return b != silence; });
    if (first == received.end()) return {};
    auto last =
        std::find_if(received.rbegin(), received.rend(), [&](uint8_t b) { return b != silence; });
    return std::vector<uint8_t>(first, last.base());
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

class DiskDevice : public ::testing::Test {
  protected:
    void SetUp() override {
        ShutdownSoundDevice();  // the next open starts SDL with the disk driver
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIODELAY", "1", 1);
        UseDiskFile("device.raw");
        gSettings.WinMMCallback = 0;
        gSettings.AudioBypassACM = 0;
        SelectOutputSystem(0);
    }
    void TearDown() override {
        ShutdownSoundDevice();
        gSettings.WinMMCallback = 0;
        gSettings.AudioBypassACM = 0;
    }
    void UseDiskFile(const std::string& name) {
        file_ = dir_.File(name);
        setenv("SDL_DISKAUDIOFILE", file_.c_str(), 1);
    }
    std::vector<uint8_t> Received() { return test::ReadFileBytes(file_); }

    // Writes each part through the table; every write must take it whole.
    void WriteAll(const std::vector<std::vector<uint8_t>>& parts) {
        for (const auto& part : parts)
            ASSERT_EQ(Output().Write(static_cast<int>(part.size()), part.data()),
                      static_cast<int>(part.size()));
    }

    test::TempDir dir_;
    std::string file_;
    test::EnvRestorer driver_{"SDL_AUDIODRIVER"}, delay_{"SDL_DISKAUDIODELAY"},
        disk_file_{"SDL_DISKAUDIOFILE"};
    test::RecordingDesktop desktop_;
};

// Runs once in the callback completion mode and once on the completion thread.
class DiskDeviceModes : public DiskDevice, public ::testing::WithParamInterface<int> {
  protected:
    void SetUp() override {
        DiskDevice::SetUp();
        gSettings.WinMMCallback = GetParam();
    }
};

INSTANTIATE_TEST_SUITE_P(CompletionModes, DiskDeviceModes, ::testing::Values(0, 1),
                         [](const auto& info) {
                             return std::string(info.param == 0 ? "Callback" : "Thread");
                         });

TEST_F(DiskDevice, OpenGivesTheFormatFiguresAndTenFreeBuffers) {
    ASSERT_EQ(Output().Open(44100, 2, -1, 16384, 2.5f, 0), 1);
    WaveFormat f = WaveOutFormat();
    EXPECT_EQ(f.block_align, 4);
    EXPECT_EQ(f.avg_bytes_per_sec, 176400u);
    EXPECT_EQ(f.bits_per_sample, 16);
    EXPECT_EQ(Output().IsOpen(), 1);
    EXPECT_EQ(Output().GetBufferCount(), 10);
    EXPECT_EQ(Output().GetFreeBuffers(), 10);
    EXPECT_EQ(Output().GetVolume(), 63);  // a fresh device is at full level

    EXPECT_EQ(Output().Open(44100, 2, -1, 16384, 2.5f, 0), 0);  // already open: no box
    EXPECT_TRUE(desktop_.Boxes().empty());
    EXPECT_EQ(Output().IsOpen(), 1);

    EXPECT_EQ(Output().Close(1), 1);
    EXPECT_EQ(Output().IsOpen(), 0);
    EXPECT_EQ(Output().Close(0), 0);
    EXPECT_EQ(Output().GetVolume(), -1);
}

TEST_F(DiskDevice, DeviceByIndexOpensAndABadIndexShowsSdlsError) {
    ASSERT_EQ(Output().Open(22050, 1, 0, 16384, 2.5f, 0), 1);
    EXPECT_EQ(Output().Close(1), 1);

    EXPECT_EQ(Output().Open(22050, 1, 9, 16384, 2.5f, 0), 0);
    EXPECT_EQ(Output().IsOpen(), 0);
    std::vector<test::Box> boxes = desktop_.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "waveOutOpen");
    EXPECT_EQ(boxes[0].style, MB_OK);
    EXPECT_FALSE(boxes[0].text.empty());
}

TEST_F(DiskDevice, UnplayableFormatIsRefusedWithABox) {
    EXPECT_EQ(Output().Open(44100, 3, -1, 16384, 2.5f, 0), 0);
    EXPECT_EQ(Output().Open(0, 2, -1, 16384, 2.5f, 0), 0);
    EXPECT_EQ(desktop_.Count("waveOutOpen"), 2u);
    EXPECT_EQ(Output().IsOpen(), 0);
}

TEST_F(DiskDevice, WriteRefusesMoreThanOneBufferAndWritesWhileClosed) {
    std::vector<uint8_t> big(32769, 1);
    EXPECT_EQ(Output().Write(16, big.data()), -1);  // closed
    ASSERT_EQ(Output().Open(11025, 1, -1, 16384, 2.5f, 1), 1);
    EXPECT_EQ(Output().Write(32769, big.data()), -1);
    EXPECT_EQ(Output().Write(-1, big.data()), -1);
    EXPECT_EQ(Output().GetFreeBuffers(), 10);
    EXPECT_EQ(Output().Write(32768, big.data()), 32768);
    EXPECT_EQ(Output().GetFreeBuffers(), 9);
}

TEST_P(DiskDeviceModes, ThreeWritesStaySilent) {
    ASSERT_EQ(Output().Open(11025, 1, -1, 16384, 2.5f, 1), 1);
    WriteAll({Pattern(4096, 1, 0x80), Pattern(4096, 2, 0x80), Pattern(4096, 3, 0x80)});
    std::this_thread::sleep_for(150ms);  // several seconds of device time
    EXPECT_EQ(Output().GetFreeBuffers(), 7);
    EXPECT_EQ(Output().GetSeconds(), 0);
    EXPECT_EQ(Output().Close(1), 1);
    std::vector<uint8_t> received = Received();
    EXPECT_GT(received.size(), 0u);  // the device ran, playing silence
    EXPECT_TRUE(Audible(received, 0x80).empty());
}

TEST_P(DiskDeviceModes, FourthWriteStartsAndTheDevicePlaysEveryByteInOrder) {
    ASSERT_EQ(Output().Open(11025, 1, -1, 16384, 2.5f, 1), 1);
    std::vector<std::vector<uint8_t>> parts;
    const size_t lengths[] = {16384, 1, 32768, 777, 16384, 3, 32768, 5000, 12, 16384, 32768, 100};
    for (size_t i = 0; i < std::size(lengths); ++i)
        parts.push_back(Pattern(lengths[i], 10 + i, 0x80));
    WriteAll(parts);
    EXPECT_EQ(Output().Close(0), 1);
    EXPECT_EQ(Output().GetFreeBuffers(), 10);
    std::vector<uint8_t> written = Concat(parts);
    EXPECT_TRUE(Audible(Received(), 0x80) == written);
    EXPECT_EQ(Output().GetSeconds(), static_cast<int>(written.size() / 11025));
}

// One 16384-byte buffer is 1.49 s here; counting one second per buffer would
// show 10 instead of 14.
TEST_P(DiskDeviceModes, SecondsStayWithinOneSecondOfTheAudioReturned) {
    ASSERT_EQ(Output().Open(11025, 1, -1, 16384, 2.5f, 1), 1);
    Output().SetSeconds(0);
    for (int i = 0; i < 10; ++i) {
        std::vector<uint8_t> chunk = Pattern(16384, i, 0x80);
        ASSERT_EQ(Output().Write(16384, chunk.data()), 16384);
        // The counter never runs ahead of what has come back. It is read first:
        // a buffer's seconds are counted before it is freed.
        int seconds = Output().GetSeconds();
        int returned_bytes = 16384 * (i + 1 - (10 - Output().GetFreeBuffers()));
        EXPECT_LE(seconds, returned_bytes / 11025);
    }
    ASSERT_EQ(Output().Close(0), 1);
    EXPECT_EQ(Output().GetSeconds(), 163840 / 11025);  // 14.86 s played
}

TEST_P(DiskDeviceModes, PauseHoldsTheSecondsCounterAndResumeGoesOn) {
    ASSERT_EQ(Output().Open(11025, 1, -1, 16384, 2.5f, 1), 1);
    for (int i = 0; i < 10; ++i) WriteAll({Pattern(16384, i, 0x80)});
    ASSERT_TRUE(WaitUntil([] { return Output().GetSeconds() >= 1; }, 3s));
    Output().Pause();
    std::this_thread::sleep_for(30ms);  // a return already on its way to the thread
    int seconds = Output().GetSeconds();
    int free = Output().GetFreeBuffers();
    std::this_thread::sleep_for(200ms);  // about five seconds of device time
    EXPECT_EQ(Output().GetSeconds(), seconds);
    EXPECT_EQ(Output().GetFreeBuffers(), free);
    EXPECT_LT(seconds, 14);
    Output().Resume();
    ASSERT_TRUE(WaitUntil([&] { return Output().GetSeconds() > seconds; }, 3s));
    EXPECT_EQ(Output().Close(0), 1);
    EXPECT_EQ(Output().GetSeconds(), 14);
}

// Set to a seek's place, the count starts a whole second there: the fraction
// heard before (0.73 s) does not bring the next second early.
TEST_P(DiskDeviceModes, SetSecondsCountsAFullSecondFromThePlaceSet) {
    ASSERT_EQ(Output().Open(11025, 1, -1, 16384, 2.5f, 1), 1);
    for (uint32_t seed : {1, 2, 3, 4}) WriteAll({Pattern(2000, seed, 0x80)});
    ASSERT_TRUE(WaitUntil([] { return Output().GetFreeBuffers() == 10; }, 3s));
    Output().SetSeconds(5);
    for (uint32_t seed : {5, 6, 7, 8}) WriteAll({Pattern(2000, seed, 0x80)});
    EXPECT_EQ(Output().Close(0), 1);
    EXPECT_EQ(Output().GetSeconds(), 5);
}

TEST_P(DiskDeviceModes, CloseWhileHeldStillPlaysOut) {
    ASSERT_EQ(Output().Open(11025, 1, -1, 16384, 2.5f, 1), 1);
    std::vector<std::vector<uint8_t>> parts = {Pattern(3000, 1, 0x80), Pattern(3000, 2, 0x80),
                                               Pattern(3000, 3, 0x80)};
    WriteAll(parts);
    EXPECT_EQ(Output().Close(0), 1);
    EXPECT_TRUE(Audible(Received(), 0x80) == Concat(parts));
}

TEST_P(DiskDeviceModes, CloseWhilePausedStillPlaysOut) {
    ASSERT_EQ(Output().Open(11025, 1, -1, 16384, 2.5f, 1), 1);
    std::vector<std::vector<uint8_t>> parts;
    for (int i = 0; i < 5; ++i) parts.push_back(Pattern(4000, i, 0x80));
    WriteAll(parts);
    Output().Pause();
    EXPECT_EQ(Output().Close(0), 1);
    EXPECT_TRUE(Audible(Received(), 0x80) == Concat(parts));
}

TEST_P(DiskDeviceModes, CloseWithResetDiscardsWhatIsQueued) {
    ASSERT_EQ(Output().Open(11025, 1, -1, 16384, 2.5f, 1), 1);
    std::vector<std::vector<uint8_t>> parts;
    for (int i = 0; i < 10; ++i) parts.push_back(Pattern(32768, i, 0x80));
    WriteAll(parts);  // nearly 30 s of audio, over a second of device time
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Output().Close(1), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_EQ(Output().GetFreeBuffers(), 10);
    std::vector<uint8_t> played = Audible(Received(), 0x80);
    std::vector<uint8_t> written = Concat(parts);
    ASSERT_LT(played.size(), written.size());
    EXPECT_TRUE(std::equal(played.begin(), played.end(), written.begin()));  // a prefix, in order
}

// Write blocks while every buffer is queued; a user's pause outlasts the
// fourth write's start; a Reset from another thread frees the writer and holds
// the device again; discarded audio does not count as played.
TEST_P(DiskDeviceModes, WriteWaitsForABufferAndResetFreesIt) {
    ASSERT_EQ(Output().Open(11025, 1, -1, 16384, 2.5f, 1), 1);
    WriteAll({Pattern(8000, 1, 0x80), Pattern(8000, 2, 0x80), Pattern(8000, 3, 0x80)});
    Output().Pause();
    for (int i = 4; i <= 10; ++i) WriteAll({Pattern(8000, i, 0x80)});
    EXPECT_EQ(Output().GetFreeBuffers(), 0);

    std::atomic<bool> written{false};
    std::vector<uint8_t> blocked = Pattern(8000, 11, 0x80);
    std::thread decoder([&] {
        EXPECT_EQ(Output().Write(8000, blocked.data()), 8000);
        written = true;
    });
    std::this_thread::sleep_for(150ms);
    EXPECT_FALSE(written.load());
    Output().Reset();
    decoder.join();
    EXPECT_TRUE(written.load());
    EXPECT_EQ(Output().GetFreeBuffers(), 9);  // all ten came back, then one was queued
    EXPECT_EQ(Output().GetSeconds(), 0);

    Output().Resume();
    std::vector<std::vector<uint8_t>> after = {Pattern(8000, 12, 0x80), Pattern(8000, 13, 0x80)};
    WriteAll(after);  // three since the reset: still held
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(Output().GetFreeBuffers(), 7);
    std::vector<uint8_t> last = Pattern(8000, 14, 0x80);
    WriteAll({last});
    EXPECT_EQ(Output().Close(0), 1);
    EXPECT_TRUE(Audible(Received(), 0x80) == Concat({blocked, after[0], after[1], last}));
    EXPECT_EQ(Output().GetSeconds(), 32000 / 11025);
}

// A hand-edited completion mode other than 0 and 1 works as 0.
TEST_F(DiskDevice, UnknownCompletionModeCompletesInTheCallback) {
    gSettings.WinMMCallback = 7;
    ASSERT_EQ(Output().Open(11025, 1, -1, 16384, 2.5f, 1), 1);
    std::vector<std::vector<uint8_t>> parts;
    for (int i = 0; i < 8; ++i) parts.push_back(Pattern(11025, i, 0x80));
    WriteAll(parts);
    EXPECT_EQ(Output().Close(0), 1);
    EXPECT_EQ(Output().GetFreeBuffers(), 10);
    EXPECT_TRUE(Audible(Received(), 0x80) == Concat(parts));
    EXPECT_EQ(Output().GetSeconds(), 8);
}

TEST_F(DiskDevice, VolumeSixtyScalesBothChannelsAsTheyPlay) {
    ASSERT_EQ(Output().Open(44100, 2, -1, 16384, 2.5f, 0), 1);
    Output().SetVolume(60);
    EXPECT_EQ(Output().GetVolume(), 60);
    std::vector<int16_t> samples(4 * 16384 / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] =
            static_cast<int16_t>((i % 2 ? -1 : 1) * static_cast<int>(1000 + (i * 37) % 30000));
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(samples.data());
    for (int i = 0; i < 4; ++i) ASSERT_EQ(Output().Write(16384, bytes + i * 16384), 16384);
    ASSERT_EQ(Output().Close(0), 1);

    std::vector<uint8_t> received = Received();
    auto first = std::find_if(received.begin(), received.end(), [](uint8_t b) { return b != 0; });
    size_t start = static_cast<size_t>(first - received.begin()) / 4 * 4;
    ASSERT_GE(received.size(), start + samples.size() * 2);
    std::vector<int16_t> played(samples.size());
    std::memcpy(played.data(), received.data() + start, samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i)
        ASSERT_EQ(played[i], static_cast<int16_t>((samples[i] * 61440) >> 16)) << "sample " << i;
}

TEST_F(DiskDevice, VolumeZeroMutesWhatIsPlayed) {
    ASSERT_EQ(Output().Open(11025, 1, -1, 16384, 2.5f, 1), 1);
    Output().SetVolume(0);
    EXPECT_EQ(Output().GetVolume(), 0);
    for (int i = 0; i < 4; ++i) WriteAll({Pattern(16384, i, 0x80)});
    ASSERT_EQ(Output().Close(0), 1);
    EXPECT_EQ(Output().GetFreeBuffers(), 10);  // all of it went through the device
    std::vector<uint8_t> received = Received();
    EXPECT_GE(received.size(), 4u * 16384u);
    EXPECT_TRUE(Audible(received, 0x80).empty());
}

TEST_F(DiskDevice, VolumeWhileClosedChangesNothing) {
    Output().SetVolume(10);
    EXPECT_EQ(Output().GetVolume(), -1);
    ASSERT_EQ(Output().Open(11025, 1, -1, 16384, 2.5f, 1), 1);
    EXPECT_EQ(Output().GetVolume(), 63);
}

TEST_F(DiskDevice, BypassingConversionStillPlaysAFormatTheDeviceTakes) {
    gSettings.AudioBypassACM = 1;
    ASSERT_EQ(Output().Open(22050, 2, -1, 16384, 2.5f, 0), 1);
    std::vector<std::vector<uint8_t>> parts;
    for (int i = 0; i < 4; ++i) parts.push_back(Pattern(16384, i, 0));
    WriteAll(parts);
    ASSERT_EQ(Output().Close(0), 1);
    EXPECT_TRUE(Audible(Received(), 0) == Concat(parts));
    EXPECT_TRUE(desktop_.Boxes().empty());
}

TEST_F(DiskDevice, ReopeningStartsAfreshEachTime) {
    for (int round = 0; round < 3; ++round) {
        UseDiskFile("round" + std::to_string(round) + ".raw");
        gSettings.WinMMCallback = round % 2;
        ASSERT_EQ(Output().Open(11025, 1, -1, 16384, 2.5f, 1), 1);
        EXPECT_EQ(Output().GetSeconds(), 0);
        std::vector<std::vector<uint8_t>> parts;
        for (int i = 0; i < 5; ++i) parts.push_back(Pattern(2205, round * 10 + i, 0x80));
        WriteAll(parts);
        ASSERT_EQ(Output().Close(0), 1);
        EXPECT_TRUE(Audible(Received(), 0x80) == Concat(parts)) << "round " << round;
        EXPECT_EQ(Output().GetSeconds(), 1);
    }
}

// The main thread pauses, resumes and resets while the decoder thread writes;
// nothing may hang, lose a buffer or race.
TEST_P(DiskDeviceModes, MainThreadControlsWhileTheDecoderWrites) {
    ASSERT_EQ(Output().Open(44100, 2, -1, 16384, 2.5f, 0), 1);
    std::atomic<bool> done{false};
    std::thread decoder([&] {
        std::vector<uint8_t> chunk = Pattern(2048, 5, 0);
        for (int i = 0; i < 400; ++i) ASSERT_EQ(Output().Write(2048, chunk.data()), 2048);
        done = true;
    });
    unsigned step = 0;
    while (!done.load()) {
        switch (step++ % 5) {
            case 0:
                Output().Pause();
                break;
            case 1:
                Output().Resume();
                break;
            case 2:
                Output().Reset();
                break;
            case 3:
                Output().GetSeconds();
                break;
            default:
                Output().Resume();
                break;
        }
        std::this_thread::sleep_for(1ms);
    }
    decoder.join();
    Output().Resume();
    EXPECT_EQ(Output().Close(0), 1);
    EXPECT_EQ(Output().GetFreeBuffers(), 10);
}

}  // namespace
}  // namespace vek
