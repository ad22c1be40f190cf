// The transport commands at their own level: the real decoder thread plays
// into .wav files, the test holds it on a track's first frame, gives a command
// there as the window would, and reads what came out.
#include "control/transport.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "output/output_system.h"
#include "platform/messages.h"
#include "playlist/playlist.h"
#include "settings/settings.h"
#include "tests/playback/playback_harness.h"
#include "tests/support/test_support.h"

namespace vek {
namespace {

using test::PlaybackHarness;

const char* const kClip = "made/mpeg1_l3_cbr128_44k.mp3";
const char* const kClipPcm = "made/mpeg1_l3_cbr128_44k.pcm";
const char* const kOther = "made/mpeg1_l2_44k.mp2";
const char* const kOtherPcm = "made/mpeg1_l2_44k.pcm";

// The .wav writer asks for its file name once a track's first frame has been
// read; this chooser keeps the decoder thread there until the test lets go.
struct FirstFrameGate {
    std::mutex mutex;
    std::condition_variable changed;
    bool reached = false;  // guarded by mutex
    bool open = false;     // guarded by mutex
    std::vector<std::string> names;
    size_t handed = 0;
};
FirstFrameGate* g_gate = nullptr;

bool HoldingChooser(Window*, const char*, const char*, const char*, const char*, char* out,
                    size_t size) {
    std::unique_lock<std::mutex> lock(g_gate->mutex);
    g_gate->reached = true;
    g_gate->changed.notify_all();
    g_gate->changed.wait(lock, [] { return g_gate->open; });
    if (g_gate->handed >= g_gate->names.size()) return false;
    std::snprintf(out, size, "%s", g_gate->names[g_gate->handed++].c_str());
    return true;
}

class TransportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetSettingsToDefaults();
        gSettings.AudioOutputSystem = 1;
        gSettings.Gapless = 0;  // as the references were decoded
        SetPlayState(PlayState::Stopped);
        ClearPlaylist();
        ASSERT_TRUE(AddFileByName(test::DataPath(kClip).c_str()));
        ASSERT_TRUE(SelectEntry(0));
        gate_.names = {Out(1), Out(2)};
        g_gate = &gate_;
        SetDesktopHooks(DesktopHooks{HeadlessDesktopHooks().message_box, HoldingChooser});
        // The player window's part: a track that opens is playing.
        player_.on_report = [](uint32_t message, intptr_t) {
            if (message == UIM_PLAY_STARTED) HandlePlayStarted();
            return false;
        };
    }
    void TearDown() override {
        LetGo();
        player_.Stop();
        SetDesktopHooks(HeadlessDesktopHooks());
        g_gate = nullptr;
        ClearPlaylist();
        SetPlayState(PlayState::Stopped);
    }

    std::string Out(int n) const { return dir_.File("out" + std::to_string(n) + ".wav"); }

    // Starts the current entry and waits until the decoder holds on its first frame.
    void PlayToTheFirstFrame() {
        ASSERT_TRUE(PlayCurrentEntry());
        ASSERT_TRUE(player_.PumpUntil(
            [this] {
                std::lock_guard<std::mutex> lock(gate_.mutex);
                return gate_.reached;
            },
            5000));
        ASSERT_EQ(GetPlayState(), PlayState::Playing);
    }
    void LetGo() {
        std::lock_guard<std::mutex> lock(gate_.mutex);
        gate_.open = true;
        gate_.changed.notify_all();
    }
    std::vector<uint8_t> Samples(int n) {
        test::WavFile wav;
        EXPECT_TRUE(test::ReadWav(Out(n), &wav)) << Out(n);
        return wav.data;
    }

    test::ScopedConfigDir config_;
    test::TempDir dir_;
    FirstFrameGate gate_;
    PlaybackHarness player_;
};

TEST_F(TransportTest, PlayWhilePlayingRestartsTheTrackFromItsStart) {
    PlayToTheFirstFrame();
    CommandPlay();
    LetGo();
    ASSERT_TRUE(player_.PlayToEnd(20000));
    ASSERT_TRUE(player_.Stop());  // the .wav is complete once the thread has closed it
    EXPECT_EQ(player_.Count(UIM_PLAY_STARTED), 2) << "the track was not started again";
    EXPECT_TRUE(Samples(2) == test::ReferencePcm({kClipPcm})) << "the second start plays it whole";
}

TEST_F(TransportTest, PlayWhilePausedResumesWithoutRestarting) {
    PlayToTheFirstFrame();
    CommandPause();
    EXPECT_EQ(GetPlayState(), PlayState::Paused);
    CommandPlay();
    EXPECT_EQ(GetPlayState(), PlayState::Playing);
    LetGo();
    ASSERT_TRUE(player_.PlayToEnd(20000));
    ASSERT_TRUE(player_.Stop());
    EXPECT_EQ(player_.Count(UIM_PLAY_STARTED), 1);
    EXPECT_TRUE(Samples(1) == test::ReferencePcm({kClipPcm})) << "the track played once, whole";
}

// Stop while paused, then Play: the sound device plays again. The decoder
// gets past the third of the clip its buffers hold only while the device
// takes them.
TEST_F(TransportTest, StopWhilePausedThenPlayIsHeard) {
    gSettings.AudioOutputSystem = 0;
    LetGo();
    ASSERT_TRUE(PlayCurrentEntry());
    ASSERT_TRUE(player_.PumpUntil([this] { return player_.Count(UIM_PROGRESS) > 1; }, 5000));
    CommandPause();
    CommandStop();
    CommandPlay();
    auto percent_of_second_start = [this] {
        int starts = 0;
        intptr_t percent = 0;
        for (const test::Report& r : player_.reports()) {
            starts += r.message == UIM_PLAY_STARTED;
            if (starts == 2 && r.message == UIM_PROGRESS) percent = r.lparam;
        }
        return percent;
    };
    EXPECT_TRUE(player_.PumpUntil([&] { return percent_of_second_start() >= 50; }, 5000));
}

// A seek while paused lands now: the time shown, and what Resume plays, are
// the new place's (the device holds every buffer while paused).
TEST_F(TransportTest, ASeekWhilePausedLandsBeforeResume) {
    gSettings.AudioOutputSystem = 0;
    LetGo();
    ASSERT_TRUE(PlayCurrentEntry());
    ASSERT_TRUE(player_.PumpUntil([this] { return player_.Count(UIM_PROGRESS) > 1; }, 5000));
    CommandPause();
    ASSERT_TRUE(player_.PumpUntil([] { return Output().GetFreeBuffers() == 0; }, 5000));
    CommandSeek(50);  // 1.5 s in
    EXPECT_TRUE(player_.PumpUntil([] { return Output().GetSeconds() == 1; }, 5000));
    EXPECT_EQ(GetPlayState(), PlayState::Paused);
}

// Next halts at once; the new entry is asked for only when the front-end
// finishes the change, its gap later.
TEST_F(TransportTest, NextPlaysItsEntryOnlyWhenTheChangeIsFinished) {
    ASSERT_TRUE(AddFileByName(test::DataPath(kOther).c_str()));
    PlayToTheFirstFrame();
    ASSERT_TRUE(CommandNext());
    EXPECT_EQ(CurrentPosition(), 1);
    LetGo();
    player_.PumpUntil([] { return false; }, kTrackChangeGapMs);
    EXPECT_EQ(player_.Count(UIM_PLAY_STARTED), 1) << "played before the gap had passed";
    FinishTrackChange();
    ASSERT_TRUE(player_.PlayToEnd(20000));
    ASSERT_TRUE(player_.Stop());
    EXPECT_EQ(player_.Count(UIM_PLAY_STARTED), 2);
    EXPECT_TRUE(Samples(2) == test::ReferencePcm({kOtherPcm})) << "the next entry, whole";
}

// At either end of the list Next and Previous do nothing: what plays goes on.
TEST_F(TransportTest, NextOnTheLastAndPreviousOnTheFirstEntryInterruptNothing) {
    PlayToTheFirstFrame();
    EXPECT_FALSE(CommandNext());
    EXPECT_FALSE(CommandPrevious());
    LetGo();
    ASSERT_TRUE(player_.PlayToEnd(20000));
    ASSERT_TRUE(player_.Stop());
    EXPECT_EQ(player_.Count(UIM_PLAY_STARTED), 1);
    EXPECT_TRUE(Samples(1) == test::ReferencePcm({kClipPcm})) << "the track played once, whole";
}

// The end of the track being replaced does not move the list a second step:
// the change's entry plays, then the list goes on from there.
TEST_F(TransportTest, ATrackEndingDuringTheGapLetsTheChangePlayItsEntry) {
    ASSERT_TRUE(AddFileByName(test::DataPath(kOther).c_str()));
    ASSERT_TRUE(AddFileByName(test::DataPath(kClip).c_str()));
    ASSERT_TRUE(CommandNext());
    EXPECT_TRUE(HandleTrackEnded());
    EXPECT_EQ(CurrentPosition(), 1);
    LetGo();
    ASSERT_TRUE(player_.PlayToEnd(20000));
    ASSERT_TRUE(player_.Stop());
    EXPECT_TRUE(Samples(1) == test::ReferencePcm({kOtherPcm, kClipPcm}));
}

}  // namespace
}  // namespace vek
