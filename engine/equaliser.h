// The equaliser curve: 576 gains, one per spectral line of a layer III granule,
// built from the twelve band gains on the main thread and read by the decoder
// thread while a track plays. Values are read and written whole, without a lock.
#pragma once

#include <cstdint>

#include "settings/settings.h"

namespace vek {

inline constexpr int kEqualiserLines = 576;

// The twelve band gains at their breakpoints, linear in between. Main thread.
void BuildEqualiserCurve(const float bands[kEqBands]);
// The same from the EqBand settings.
void BuildEqualiserCurveFromSettings();

// Gain of one line (0.0 outside 0..575); all zeros until the first build.
float EqualiserCurveValue(int line);

// Changes whenever a build has finished; a reader that saw the same value
// before and after reading the curve read one whole build.
uint32_t EqualiserCurveGeneration();

}  // namespace vek
