// Placeholder until the SDL2 device output lands.
#include "output/outputs.h"

namespace vek {
namespace {
template <typename R, typename... A>
R Nothing(A...) { return R{}; }
}  // namespace
const OutputSystem kWaveOutOutput{Nothing<int, int, int, int, int, float, int>, Nothing<int, int>, Nothing<int>,
                                  Nothing<int, int, const uint8_t*>, Nothing<void>, Nothing<void>, Nothing<void>,
                                  Nothing<int>, Nothing<void, int>, Nothing<int>, Nothing<void, int>, Nothing<int>,
                                  Nothing<int>};
int GetDeviceName(int, char*, int) { return 0; }
int GetDeviceCount() { return 0; }
}  // namespace vek
