#include "engine/equaliser.h"

#include <atomic>

namespace vek {
namespace {

// The spectral line at which each band's gain applies; band 11 is reached only
// in the limit at line 576.
constexpr int kBreakpoints[kEqBands] = {0, 5, 10, 20, 30, 50, 100, 150, 200, 300, 400, 576};

std::atomic<float> g_curve[kEqualiserLines];
std::atomic<uint32_t> g_generation{0};

}  // namespace

void BuildEqualiserCurve(const float bands[kEqBands]) {
    for (int band = 0; band < 11; ++band) {
        int from = kBreakpoints[band];
        int to = kBreakpoints[band + 1];
        float low = bands[band];
        float high = bands[band + 1];
        g_curve[from].store(low, std::memory_order_relaxed);
        for (int line = from + 1; line < to; ++line) {
            float value = low + (high - low) * static_cast<float>(line - from) /
                                    static_cast<float>(to - from);
            g_curve[line].store(value, std::memory_order_relaxed);
        }
    }
    g_generation.fetch_add(1, std::memory_order_release);
}

void BuildEqualiserCurveFromSettings() {
    float bands[kEqBands];
    for (int i = 0; i < kEqBands; ++i) bands[i] = gSettings.EqBand[i];
    BuildEqualiserCurve(bands);
}

float EqualiserCurveValue(int line) {
    if (line < 0 || line >= kEqualiserLines) return 0.0f;
    return g_curve[line].load(std::memory_order_relaxed);
}

uint32_t EqualiserCurveGeneration() {
    return g_generation.load(std::memory_order_acquire);
}

}  // namespace vek
