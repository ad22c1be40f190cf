// Arbitrary bytes as the text of a file's ReplayGain gain and peak fields: a
// gain taken is finite and within 64 dB, a peak taken finite and above 0, and
// a text refused leaves the value alone.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "engine/replay_gain.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr double kUntouched = 12345.0;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    double gain = kUntouched, peak = kUntouched;
    bool gain_ok = vek::ParseReplayGainDb(text, &gain)
                       ? std::isfinite(gain) && std::fabs(gain) <= 64
                       : gain == kUntouched;
    bool peak_ok = vek::ParseReplayGainPeak(text, &peak) ? std::isfinite(peak) && peak > 0
                                                         : peak == kUntouched;
    if (gain_ok && peak_ok) return 0;
    std::fprintf(stderr, "promise broken: gain %g, peak %g\n", gain, peak);
    std::abort();
}
