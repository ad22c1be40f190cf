#include "app/progress_ring.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "app/display_handoff.h"
#include "app/skin.h"
#include "app/skin/drawing.h"
#include "tests/app/app_test_support.h"

namespace vek::app {
namespace {

using test::LitBars;
using test::PictureLog;
using test::PumpUntil;

class ProgressRingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetRingWindowMinimised(false);
        ASSERT_TRUE(StartProgressRing(&log_.receiver, log_.Show()));
    }
    void TearDown() override { DetachProgressRing(); }

    std::vector<int> Bars() const {
        std::vector<int> bars;
        for (const QImage& p : log_.pictures) bars.push_back(LitBars(p));
        return bars;
    }
    // Pumps until the ring rests showing `bars` lit bars: the last picture
    // shows them and nothing more is drawn for a while.
    bool RestsAt(int bars) {
        if (!PumpUntil(
                [&] { return !log_.pictures.empty() && LitBars(log_.pictures.back()) == bars; },
                5000))
            return false;
        size_t seen;
        do {
            seen = log_.pictures.size();
            test::Pump(150);
        } while (log_.pictures.size() != seen);
        return LitBars(log_.pictures.back()) == bars;
    }

    PictureLog log_;
};

TEST(RingAngleTest, RestsOnWholeBars) {
    const struct {
        int percent, angle, rest;
    } cases[] = {
        {0, 0, 0},      {4, 14, 0},      {5, 18, 15},     {25, 90, 90}, {50, 180, 180},
        {99, 356, 345}, {100, 360, 360}, {103, 360, 360}, {-3, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RingAngle(c.percent), c.angle) << c.percent;
        EXPECT_EQ(RingRestAngle(c.percent), c.rest) << c.percent;
    }
}

// The wake-up for a picture goes with the window it was posted to; the next
// window still gets the pictures that follow.
TEST(DisplayHandoffTest, ANewWindowIsNotFrozenByAWakeUpLostWithTheOld) {
    auto handoff = std::make_shared<DisplayHandoff>();
    auto old = std::make_unique<PictureLog>();
    AttachHandoff(handoff.get(), &old->receiver, old->Show());
    QImage picture(1, 1, QImage::Format_RGB32);
    ASSERT_TRUE(HandOver(handoff, picture, false));
    PictureLog next;
    AttachHandoff(handoff.get(), &next.receiver, next.Show());
    old.reset();
    ASSERT_TRUE(HandOver(handoff, picture, false));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(next.pictures.size(), 1u);
    DetachHandoff(handoff.get(), false);
}

// The window repaints only what changed, so the part it is told of must hold
// every changed pixel, out to the picture's edges; a picture not yet taken
// when the next comes adds its part to the next one's.
TEST(DisplayHandoffTest, TheWindowIsToldEveryPixelThatChanged) {
    auto handoff = std::make_shared<DisplayHandoff>();
    PictureLog log;
    AttachHandoff(handoff.get(), &log.receiver, log.Show());
    QImage picture(20, 10, QImage::Format_RGB32);
    picture.fill(Qt::black);
    const struct {
        std::vector<QPoint> lit;
        QRect changed;
    } steps[] = {
        {{}, QRect(0, 0, 20, 10)},  // the first picture is new everywhere
        {{}, QRect()},
        {{{3, 4}, {10, 2}}, QRect(QPoint(3, 2), QPoint(10, 4))},
        {{{19, 9}}, QRect(19, 9, 1, 1)},
        {{{0, 0}}, QRect(0, 0, 1, 1)},
    };
    for (const auto& step : steps) {
        for (QPoint p : step.lit) picture.setPixel(p, 0xffffffff);
        ASSERT_TRUE(HandOver(handoff, picture, false));
        QCoreApplication::sendPostedEvents();
        ASSERT_EQ(log.changed.size(), log.pictures.size());
        EXPECT_EQ(log.changed.back(), step.changed);
        EXPECT_EQ(log.pictures.back(), picture);
    }
    size_t shown = log.pictures.size();
    picture.setPixel(5, 5, 0xff00ff00);
    ASSERT_TRUE(HandOver(handoff, picture, false));
    picture.setPixel(7, 1, 0xff00ff00);
    ASSERT_TRUE(HandOver(handoff, picture, false));
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(log.pictures.size(), shown + 1);
    EXPECT_EQ(log.changed.back(), QRect(QPoint(5, 1), QPoint(7, 5)));
    DetachHandoff(handoff.get(), false);
}

TEST_F(ProgressRingTest, FourPercentLightsNothingFiveOneBarAHundredAll) {
    SetRingPercent(4);
    EXPECT_TRUE(RestsAt(0));
    SetRingPercent(5);
    EXPECT_TRUE(RestsAt(1));
    SetRingPercent(100);
    EXPECT_TRUE(RestsAt(24));
}

TEST_F(ProgressRingTest, AJumpFromAHundredToZeroSweepsBackInSteps) {
    SetRingPercent(100);
    ASSERT_TRUE(RestsAt(24));
    log_.pictures.clear();
    SetRingPercent(0);
    ASSERT_TRUE(RestsAt(0));
    std::vector<int> bars = Bars();
    // One picture per bar the sweep passes on its way down, then the rest.
    EXPECT_EQ(bars.size(), 18u);
    EXPECT_TRUE(std::is_sorted(bars.rbegin(), bars.rend())) << "never lights up again";
    EXPECT_GE(std::count_if(bars.begin(), bars.end(), [](int b) { return b > 0 && b < 24; }), 12);
}

TEST_F(ProgressRingTest, ANewPercentDuringASweepTurnsIt) {
    SetRingPercent(100);
    // Nothing is taken meanwhile, and each picture waits for the one before to
    // be taken: the sweep holds at its second bar.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    SetRingPercent(0);
    ASSERT_TRUE(RestsAt(0));
    std::vector<int> bars = Bars();
    EXPECT_LT(*std::max_element(bars.begin(), bars.end()), 12) << "the old sweep did not go on";
}

TEST_F(ProgressRingTest, WhileMinimisedNothingIsDrawnAndThePercentIsTakenOver) {
    SetRingWindowMinimised(true);
    SetRingPercent(50);
    RequestRingRedraw();
    test::Pump(300);  // time for the ring to take both
    EXPECT_TRUE(log_.pictures.empty());
    SetRingWindowMinimised(false);
    // The window comes back and its paint asks for the ring.
    RequestRingRedraw();
    ASSERT_TRUE(PumpUntil([&] { return !log_.pictures.empty(); }, 5000));
    EXPECT_EQ(LitBars(log_.pictures.back()), 12);
    EXPECT_EQ(log_.pictures.size(), 1u) << "no sweep was drawn";
}

TEST_F(ProgressRingTest, ANewWindowTakesTheRingOverDarkAndTheOldGetsNothing) {
    SetRingPercent(100);
    ASSERT_TRUE(RestsAt(24));
    SetRingWindowMinimised(true);  // the old window closes minimised
    PictureLog next;
    ASSERT_TRUE(StartProgressRing(&next.receiver, next.Show()));
    size_t old_count = log_.pictures.size();
    RequestRingRedraw();
    ASSERT_TRUE(PumpUntil([&] { return !next.pictures.empty(); }, 5000));
    EXPECT_EQ(LitBars(next.pictures.back()), 0);
    EXPECT_EQ(log_.pictures.size(), old_count);
    DetachProgressRing();  // before next goes
}

}  // namespace
}  // namespace vek::app
