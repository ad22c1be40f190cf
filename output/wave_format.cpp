#include "output/wave_format.h"

namespace vek {

WaveFormat MakeWaveFormat(int rate, int channels, int eight_bit) {
    WaveFormat format;
    format.channels = static_cast<uint16_t>(channels);
    format.samples_per_sec = static_cast<uint32_t>(rate);
    format.bits_per_sample = eight_bit ? 8 : 16;
    format.block_align = static_cast<uint16_t>(format.channels * format.bits_per_sample / 8);
    format.avg_bytes_per_sec = format.samples_per_sec * format.block_align;
    return format;
}

}  // namespace vek
