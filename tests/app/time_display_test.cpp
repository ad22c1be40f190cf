#include "app/time_display.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "app/skin.h"
#include "app/skin/drawing.h"
#include "tests/app/app_test_support.h"

namespace vek::app {
namespace {

using test::PictureLog;
using test::PumpUntil;

std::atomic<int> g_seconds{0};
std::atomic<PlayState> g_state{PlayState::Playing};
int Seconds() {
    return g_seconds.load();
}
PlayState State() {
    return g_state.load();
}

// A field drawn by the real thread from a source the test sets. Each test
// ends with a stop that may not come near the usual bound.
class TimeDisplayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_seconds = 0;
        g_state = PlayState::Playing;
        SetTimeDisplayStopBound(1000);
        ASSERT_TRUE(StartTimeDisplay(ToQRect(kDisplayField), TimeSource{Seconds, State},
                                     &log_.receiver, log_.Show()));
    }
    void TearDown() override {
        for (int i = 0; i < 20; ++i) RequestTimeRedraw();  // a queue to get through first
        EXPECT_TRUE(StopTimeDisplay());
        EXPECT_FALSE(TimeDisplayGivenUp());
        SetTimeDisplayStopBound(3000);
    }
    // One redraw, as the timer asks for it.
    QImage Redraw() {
        size_t before = log_.pictures.size();
        RequestTimeRedraw();
        EXPECT_TRUE(PumpUntil([&] { return log_.pictures.size() > before; }, 5000));
        return log_.pictures.empty() ? QImage() : log_.pictures.back();
    }

    PictureLog log_;
    QImage digits_ = LoadSkinImage("bitmap_118.png");
    QImage signs_ = LoadSkinImage("bitmap_135.png");
};

TEST(ElapsedTimeTest, IsHoursMinutesAndSeconds) {
    const struct {
        int seconds;
        const char* text;
    } cases[] = {
        {0, "0:00:00"},    {59, "0:00:59"},     {60, "0:01:00"},  {3599, "0:59:59"},
        {3600, "1:00:00"}, {36000, "10:00:00"}, {187, "0:03:07"}, {-5, "0:00:00"},
    };
    for (const auto& c : cases) {
        char text[16];
        FormatElapsedTime(c.seconds, text, sizeof text);
        EXPECT_STREQ(text, c.text) << c.seconds;
    }
}

// Glyphs start at x 72 and follow every 10 pixels, each over the last two
// columns of the one before; ten hours and more reach the field's right end,
// where the last glyph is cut.
TEST_F(TimeDisplayTest, TheTimeIsPlacedFromX72InStepsOfTen) {
    g_seconds = 36000;
    QImage field = Redraw();
    ASSERT_EQ(field.size(), QSize(146, 36));
    const std::string text = "10:00:00";
    for (size_t i = 0; i < text.size(); ++i) {
        int glyph = text[i] == ':' ? 10 : text[i] - '0';
        int x = 72 + 10 * static_cast<int>(i);
        int shown = i + 1 < text.size() ? 10 : 146 - x;
        EXPECT_EQ(field.copy(x, 20, shown, 16), digits_.copy(12 * glyph, 0, shown, 16))
            << "character " << i;
    }
}

TEST_F(TimeDisplayTest, TheSignBlinksWithEveryRedrawAndShowsThePlayState) {
    g_state = PlayState::Paused;
    g_seconds = 42;
    QImage first = Redraw(), second = Redraw();
    EXPECT_EQ(first.copy(60, 22, 8, 11), signs_.copy(36, 0, 8, 11)) << "bright paused sign";
    EXPECT_EQ(second.copy(60, 22, 8, 11), signs_.copy(36, 10, 8, 11)) << "dim paused sign";
    EXPECT_EQ(first.copy(72, 20, 74, 16), second.copy(72, 20, 74, 16)) << "a constant time";
    g_state = PlayState::Stopped;
    EXPECT_EQ(Redraw().copy(60, 22, 8, 11), signs_.copy(28, 0, 8, 11));
    g_state = PlayState::Playing;
    EXPECT_EQ(Redraw().copy(60, 22, 8, 11), signs_.copy(20, 10, 8, 11));
}

// With its clock on, the thread redraws unasked, the sign blinking, until the
// clock is off again.
TEST_F(TimeDisplayTest, ItsClockRedrawsUnaskedWhileItRuns) {
    SetTimeDisplayTicking(true);
    ASSERT_TRUE(PumpUntil([&] { return log_.pictures.size() >= 2; }, 5000));
    SetTimeDisplayTicking(false);
    EXPECT_NE(log_.pictures[0].copy(60, 22, 8, 11), log_.pictures[1].copy(60, 22, 8, 11));
}

// A source that does not answer until the test lets it.
std::atomic<bool> g_hold{false}, g_held{false}, g_released{false};
int HeldSeconds() {
    g_held = true;
    while (g_hold.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    g_released = true;
    return 0;
}

TEST(TimeDisplayStopTest, AThreadThatMissesTheBoundIsGivenUpWithABox) {
    vek::test::RecordingDesktop desktop;
    PictureLog log;
    g_hold = true;
    ASSERT_TRUE(StartTimeDisplay(ToQRect(kDisplayField), TimeSource{HeldSeconds, State},
                                 &log.receiver, log.Show()));
    RequestTimeRedraw();
    ASSERT_TRUE(PumpUntil([] { return g_held.load(); }, 5000));
    SetTimeDisplayStopBound(100);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(StopTimeDisplay());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
    SetTimeDisplayStopBound(3000);
    EXPECT_TRUE(TimeDisplayGivenUp());
    ASSERT_EQ(desktop.Count("VEK Error Message..."), 1u);
    EXPECT_EQ(desktop.Boxes()[0].text, "Had To TerminateThread()...");
    // Let the thread go: it ends by itself and shows nothing any more.
    g_hold = false;
    ASSERT_TRUE(PumpUntil([] { return g_released.load(); }, 5000));
    test::Pump(20);
    EXPECT_TRUE(log.pictures.empty());
}

}  // namespace
}  // namespace vek::app
