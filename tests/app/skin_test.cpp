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

TEST_F(SkinTest, ControlsSitWhereTheyAreDrawn) {
    struct Case {
        PushControl control;
        QRect region;
        QPoint drawn_at;
    } cases[] = {
        {kMinimise, Box(4, 33, 21, 47), {4, 33}},
        {kOpen, Box(32, 72, 50, 90), {32, 72}},
        {kPlay, Box(52, 72, 70, 90), {50, 72}},
        {kPause, Box(72, 72, 90, 90), {70, 72}},
        {kStop, Box(92, 72, 110, 90), {90, 72}},
        {kPrevious, Box(112, 72, 130, 90), {110, 72}},
        {kNext, Box(132, 72, 150, 90), {130, 72}},
        {kRepeat, Box(172, 72, 190, 81), {170, 72}},
        {kShuffle, Box(172, 82, 190, 90), {170, 82}},
        {kExpandTab, Box(251, 64, 258, 79), {251, 63}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(skin_.controls[c.control].region, QRegion(c.region)) << c.control;
        EXPECT_EQ(skin_.controls[c.control].drawn_at, c.drawn_at) << c.control;
    }
    EXPECT_EQ(skin_.controls[kExpandTab].drawn_at_pressed, QPoint(251, 62));
    // No two push controls overlap, so one press hits at most one.
    for (int a = 0; a < kPushControlCount; ++a)
        for (int b = a + 1; b < kPushControlCount; ++b)
            EXPECT_FALSE(skin_.controls[a].region.intersects(skin_.controls[b].region))
                << a << " " << b;
}

TEST_F(SkinTest, SectorsRunClockwiseFromTwelve) {
    // Sector 0 is the sliver just left of 12 o'clock.
    QRect zero = skin_.sectors[0].boundingRect();
    EXPECT_GE(zero.left(), 215);
    EXPECT_LE(zero.right(), 216);
    EXPECT_GE(zero.top(), 34);
    EXPECT_LE(zero.bottom(), 42);
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

TEST_F(SkinTest, VolumeAndEqualiserCells) {
    EXPECT_EQ(skin_.volume_cells[0], Box(37, 174, 46, 179));
    EXPECT_EQ(skin_.volume_cells[15], Box(37, 99, 46, 104));
    EXPECT_EQ(VolumeCellAt(skin_, QPoint(40, 100)), 15);
    EXPECT_EQ(skin_.equaliser_cells[0][0], Box(67, 169, 77, 174));
    EXPECT_EQ(skin_.equaliser_cells[11][14], Box(221, 99, 231, 104));
    EXPECT_EQ(EqualiserRowAt(skin_, 3, QPoint(67 + 42 + 2, 136)), 7);
    EXPECT_EQ(EqualiserRowOfGain(1.0f), 7);
    EXPECT_EQ(EqualiserRowOfGain(2.0f), 14);
    EXPECT_EQ(EqualiserRowOfGain(3 * 0.14285715f), 3) << "a stored row shows in that row again";
    EXPECT_EQ(EqualiserRowOfGain(5.0f), 14);
    EXPECT_EQ(EqualiserRowOfGain(-1.0f), 0);
}

}  // namespace
}  // namespace vek::app
