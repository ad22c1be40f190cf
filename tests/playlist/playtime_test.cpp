#include "playlist/playtime.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/thread_queue.h"
#include "playlist/playlist_edit.h"
#include "tests/playlist/playlist_fixture.h"

namespace vek::test {
namespace {

class PlaytimeTest : public PlaylistTest {
  protected:
    void TearDown() override {
        StopMeasuringLengths();
        SetMeasuringBatch(0);
        PlaylistTest::TearDown();
    }

    // Takes what the thread measured until nothing is left to measure.
    static bool MeasureAll() {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        UpdateMeasuredLengths(true);
        while (std::chrono::steady_clock::now() < deadline) {
            if (g_ready.exchange(false)) UpdateMeasuredLengths(false);
            bool done = true;
            for (PlaylistEntry* e = gPlaylist.first; e; e = e->next)
                done = done && e->length_ms >= kLengthUnknown;
            if (done) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

    static void Ready() { g_ready = true; }
    // A length from the name: "/3000.mp3" lasts 3 s; "/x" gives none.
    static void ByName(const char* path, Measurement* out) {
        if (CurrentThreadId() == g_main) g_on_main = true;
        out->ms = static_cast<int32_t>(std::strtol(path + 1, nullptr, 10)) - (path[1] == 'x');
    }

    static inline std::atomic<bool> g_ready{false};
    static inline std::atomic<bool> g_on_main{false};
    static inline ThreadId g_main = CurrentThreadId();
};

TEST_F(PlaytimeTest, TheTextSaysHoursMinutesAndSecondsAndWhetherAllAreKnown) {
    EXPECT_EQ(PlaytimeText(Playtime{}), "Playtime: Unknown");
    EXPECT_EQ(PlaytimeText(Playtime{2, 3723999, true}), "Playtime: 1:02:03");
    EXPECT_EQ(PlaytimeText(Playtime{1, 59000, false}), "Playtime: 0:00:59+");
    EXPECT_EQ(PlaytimeText(Playtime{1, 360000LL * 1000, true}), "Playtime: 100:00:00");
}

// The thread is handed a batch at a time, two entries here.
TEST_F(PlaytimeTest, LengthsAreMeasuredOffTheMainThreadAndKeptWithTheirEntries) {
    SetMeasuringBatch(2);
    AppendAll({"/1.mp3", "/3000.mp3", "/x.mp3", "/2500.mp3", "/3000.mp3"});
    EXPECT_FALSE(SumPlaytime().complete);
    ASSERT_TRUE(StartMeasuringLengths(ByName, Ready));
    UpdateMeasuredLengths(true);
    int handed = 0;
    for (PlaylistEntry* e = gPlaylist.first; e; e = e->next)
        handed += e->length_ms == kLengthMeasuring;
    EXPECT_EQ(handed, 2);
    RemoveEntries({0});  // the lengths on their way find their entries moved
    ASSERT_TRUE(MeasureAll());
    EXPECT_FALSE(g_on_main);
    EXPECT_EQ(EntryAt(0)->length_ms, 3000);
    EXPECT_EQ(EntryAt(1)->length_ms, kLengthUnknown);
    Playtime sum = SumPlaytime();
    EXPECT_EQ(sum.known_ms, 8500);
    EXPECT_FALSE(sum.complete) << "the unreadable entry leaves it incomplete";
}

TEST_F(PlaytimeTest, StoppingLeavesWhatWasNotMeasuredToBeMeasuredLater) {
    AppendAll({"/1000.mp3", "/2000.mp3"});
    ASSERT_TRUE(StartMeasuringLengths(
        [](const char*, Measurement* out) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            out->ms = 5;
        },
        Ready));
    UpdateMeasuredLengths(true);
    StopMeasuringLengths();
    for (PlaylistEntry* e = gPlaylist.first; e; e = e->next)
        EXPECT_NE(e->length_ms, kLengthMeasuring);
    ASSERT_TRUE(StartMeasuringLengths(ByName, Ready));
    ASSERT_TRUE(MeasureAll());
    EXPECT_EQ(SumPlaytime().known_ms, 3000);
}

}  // namespace
}  // namespace vek::test
