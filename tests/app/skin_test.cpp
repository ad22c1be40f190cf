#include "app/skin.h"

#include <gtest/gtest.h>

namespace vek::app {
namespace {

class SkinTest : public ::testing::Test {
  protected:
    void SetUp() override { BuildSkinRegions(&skin_); }
    Skin skin_;
};

TEST_F(SkinTest, TheOutlineCutsTheGapsAndCornersAway) {
    QRegion shape = WindowShape(kWindowWidth, kExpandedHeight, kTabY);
    EXPECT_FALSE(shape.contains(QPoint(50, 3))) << "the gap above the bar";
    EXPECT_TRUE(shape.contains(QPoint(30, 20)));
    EXPECT_FALSE(shape.contains(QPoint(0, 0))) << "rounded top-left corner";
    EXPECT_TRUE(shape.contains(QPoint(3, 0)));
    EXPECT_FALSE(shape.contains(QPoint(10, 100))) << "left of the body below the buttons";
    EXPECT_TRUE(shape.contains(QPoint(18, 100)));
    EXPECT_FALSE(shape.contains(QPoint(60, 15))) << "the slot below the bar";
    EXPECT_FALSE(shape.contains(QPoint(256, 120))) << "the strip along the right edge";
    EXPECT_TRUE(shape.contains(QPoint(254, 120)));
    // The expand tab's outline reaches into that strip.
    EXPECT_TRUE(shape.contains(QPoint(255, 70)));
    EXPECT_TRUE(shape.contains(QPoint(257, 67)));
    EXPECT_FALSE(shape.contains(QPoint(257, 70)));
    EXPECT_FALSE(WindowShape(kWindowWidth, kExpandedHeight, -1).contains(QPoint(255, 70)));
}

TEST_F(SkinTest, TheCloseCornerIsAnL) {
    const QRegion& close = skin_.controls[kClose].region;
    EXPECT_TRUE(close.contains(QPoint(5, 5)));
    EXPECT_TRUE(close.contains(QPoint(28, 10)));
    EXPECT_TRUE(close.contains(QPoint(10, 28)));
    EXPECT_FALSE(close.contains(QPoint(30, 20))) << "inside the window, outside the corner";
    EXPECT_FALSE(close.contains(QPoint(20, 20)));
}

// The press test of each push control at the corners of its rectangle and
// one pixel beyond them.
TEST_F(SkinTest, EachControlAnswersInsideItsRectangleOnly) {
    struct Case {
        PushControl control;
        QPoint first_inside, last_inside, left_of, below;
    } cases[] = {
        {kMinimise, {4, 33}, {20, 46}, {3, 40}, {10, 47}},
        {kExpandTab, {251, 64}, {257, 78}, {250, 70}, {254, 79}},
        {kOpen, {32, 72}, {49, 89}, {31, 80}, {40, 90}},
        {kPlay, {52, 72}, {69, 89}, {51, 80}, {60, 90}},
        {kPause, {72, 72}, {89, 89}, {71, 80}, {80, 90}},
        {kStop, {92, 72}, {109, 89}, {91, 80}, {100, 90}},
        {kPrevious, {112, 72}, {129, 89}, {111, 80}, {120, 90}},
        {kNext, {132, 72}, {149, 89}, {131, 80}, {140, 90}},
        {kRepeat, {172, 72}, {189, 80}, {171, 75}, {180, 81}},
        {kShuffle, {172, 82}, {189, 89}, {171, 85}, {180, 90}},
    };
    auto hit = [&](QPoint p) {
        int found = -1;
        for (int i = 0; i < kPushControlCount; ++i) {
            if (!skin_.controls[i].region.contains(p)) continue;
            EXPECT_EQ(found, -1) << "two controls under " << p.x() << "," << p.y();
            found = i;
        }
        return found;
    };
    for (const Case& c : cases) {
        EXPECT_EQ(hit(c.first_inside), c.control);
        EXPECT_EQ(hit(c.last_inside), c.control);
        EXPECT_EQ(hit(c.left_of), -1) << c.control;
        EXPECT_EQ(hit(c.below), -1) << c.control;
    }
}

TEST_F(SkinTest, SectorsRunClockwiseFromTwelve) {
    // Sector 0 is the sliver just left of 12 o'clock.
    EXPECT_EQ(SectorAt(skin_, QPoint(215, 38)), 0);
    EXPECT_EQ(SectorAt(skin_, QPoint(216, 38)) * 100 / 360, 0) << "just right of 12 o'clock";
    EXPECT_EQ(SectorAt(skin_, QPoint(234, 55)), 90) << "3 o'clock";
    EXPECT_EQ(SectorAt(skin_, QPoint(215, 74)) * 100 / 360, 50) << "6 o'clock";
    EXPECT_EQ(SectorAt(skin_, QPoint(198, 56)) * 100 / 360, 74) << "9 o'clock";
    EXPECT_EQ(SectorAt(skin_, QPoint(216, 56)), -1) << "the hole";
    EXPECT_EQ(SectorAt(skin_, QPoint(216, 31)), -1) << "outside the ring";
    // The one-degree slivers cover the ring all but a few pixels (integer
    // corners leave some slivers empty).
    int unclaimed = 0;
    for (int y = 31; y < 82; ++y)
        for (int x = 191; x < 241; ++x) {
            double dx = x + 0.5 - 216, dy = y + 0.5 - 56, r2 = dx * dx + dy * dy;
            if (r2 > 16 * 16 && r2 < 20 * 20) unclaimed += SectorAt(skin_, QPoint(x, y)) < 0;
        }
    EXPECT_LE(unclaimed, 4);
}

TEST_F(SkinTest, VolumeCellsClimbFiveRowsEach) {
    EXPECT_EQ(VolumeCellAt(skin_, QPoint(37, 174)), 0);
    EXPECT_EQ(VolumeCellAt(skin_, QPoint(45, 178)), 0);
    EXPECT_EQ(VolumeCellAt(skin_, QPoint(40, 173)), 1);
    EXPECT_EQ(VolumeCellAt(skin_, QPoint(40, 99)), 15);
    EXPECT_EQ(VolumeCellAt(skin_, QPoint(40, 98)), -1) << "the column's top row is no cell";
    EXPECT_EQ(VolumeCellAt(skin_, QPoint(40, 179)), -1);
    EXPECT_EQ(VolumeCellAt(skin_, QPoint(46, 150)), -1);
}

TEST_F(SkinTest, EqualiserCellsSitInTheirBandsColumn) {
    EXPECT_EQ(EqualiserRowAt(skin_, 0, QPoint(67, 173)), 0);
    EXPECT_EQ(EqualiserRowAt(skin_, 0, QPoint(76, 169)), 0);
    EXPECT_EQ(EqualiserRowAt(skin_, 0, QPoint(77, 169)), -1) << "between two columns";
    EXPECT_EQ(EqualiserRowAt(skin_, 1, QPoint(76, 169)), -1);
    EXPECT_EQ(EqualiserRowAt(skin_, 3, QPoint(67 + 42 + 2, 136)), 7);
    EXPECT_EQ(EqualiserRowAt(skin_, 11, QPoint(230, 99)), 14);
    EXPECT_EQ(EqualiserRowAt(skin_, 11, QPoint(230, 98)), -1);
}

TEST_F(SkinTest, AGainShowsInTheRowOfSevenTimesIt) {
    EXPECT_EQ(EqualiserRowOfGain(1.0f), 7);
    EXPECT_EQ(EqualiserRowOfGain(2.0f), 14);
    EXPECT_EQ(EqualiserRowOfGain(3 * 0.14285715f), 3) << "a stored row shows in that row again";
    EXPECT_EQ(EqualiserRowOfGain(5.0f), 14);
    EXPECT_EQ(EqualiserRowOfGain(-1.0f), 0);
}

}  // namespace
}  // namespace vek::app
