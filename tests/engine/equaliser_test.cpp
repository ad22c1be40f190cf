#include "engine/equaliser.h"

#include <gtest/gtest.h>

namespace vek::test {
namespace {

void Build(float g0, float g10, float g11) {
    float bands[12] = {g0, 1, 1, 1, 1, 1, 1, 1, 1, 1, g10, g11};
    BuildEqualiserCurve(bands);
}

TEST(EqualiserCurveTest, FlatGainsGiveAFlatCurve) {
    Build(1.0f, 1.0f, 1.0f);
    for (int line = 0; line < kEqualiserLines; ++line) ASSERT_EQ(EqualiserCurveValue(line), 1.0f);
}

TEST(EqualiserCurveTest, FirstBandFallsLinearlyToItsNeighbour) {
    Build(2.0f, 1.0f, 1.0f);
    const float expected[6] = {2.0f, 1.8f, 1.6f, 1.4f, 1.2f, 1.0f};
    for (int line = 0; line < 6; ++line) EXPECT_FLOAT_EQ(EqualiserCurveValue(line), expected[line]);
    for (int line = 6; line < kEqualiserLines; ++line) ASSERT_EQ(EqualiserCurveValue(line), 1.0f);
}

TEST(EqualiserCurveTest, LastBandIsReachedOnlyInTheLimit) {
    Build(1.0f, 1.0f, 0.0f);
    EXPECT_EQ(EqualiserCurveValue(399), 1.0f);
    EXPECT_EQ(EqualiserCurveValue(400), 1.0f);
    EXPECT_FLOAT_EQ(EqualiserCurveValue(488), 0.5f);
    EXPECT_NEAR(EqualiserCurveValue(575), 1.0 / 176.0, 1e-7);
    EXPECT_GT(EqualiserCurveValue(575), 0.0f);
}

TEST(EqualiserCurveTest, EveryBreakpointCarriesItsBandsGain) {
    const int breakpoints[11] = {0, 5, 10, 20, 30, 50, 100, 150, 200, 300, 400};
    float bands[12];
    for (int i = 0; i < 12; ++i) bands[i] = static_cast<float>(i) / 7.0f;
    BuildEqualiserCurve(bands);
    for (int i = 0; i < 11; ++i) EXPECT_EQ(EqualiserCurveValue(breakpoints[i]), bands[i]) << i;
    // Half way between 300 and 400 lies the mean of bands 9 and 10.
    EXPECT_FLOAT_EQ(EqualiserCurveValue(350), (bands[9] + bands[10]) / 2);
}

TEST(EqualiserCurveTest, LinesOutsideTheCurveReadAsZero) {
    Build(1.0f, 1.0f, 1.0f);
    EXPECT_EQ(EqualiserCurveValue(-1), 0.0f);
    EXPECT_EQ(EqualiserCurveValue(576), 0.0f);
}

TEST(EqualiserCurveTest, EachBuildIsAnnounced) {
    uint32_t before = EqualiserCurveGeneration();
    Build(1.0f, 1.0f, 1.0f);
    EXPECT_NE(EqualiserCurveGeneration(), before);
}

}  // namespace
}  // namespace vek::test
