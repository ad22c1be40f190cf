// Placeholder until the .wav writer lands.
#include "output/outputs.h"

namespace vek {
namespace {
template <typename R, typename... A>
R Nothing(A...) { return R{}; }
}  // namespace
const OutputSystem kWavFileOutput{Nothing<int, int, int, int, int, float, int>, Nothing<int, int>, Nothing<int>,
                                  Nothing<int, int, const uint8_t*>, Nothing<void>, Nothing<void>, Nothing<void>,
                                  Nothing<int>, Nothing<void, int>, Nothing<int>, Nothing<void, int>, Nothing<int>,
                                  Nothing<int>};
}  // namespace vek
