// The PCM format record both outputs describe their audio with: the device
// opens with it, the .wav writer stores it as its "fmt " chunk.
#pragma once

#include <cstdint>

namespace vek {

struct WaveFormat {
    uint16_t format_tag = 1;  // PCM
    uint16_t channels = 0;
    uint32_t samples_per_sec = 0;
    uint32_t avg_bytes_per_sec = 0;  // block align x rate
    uint16_t block_align = 0;        // channels x bits / 8
    uint16_t bits_per_sample = 0;
    uint16_t extra_size = 0;
};

// The record for rate, channels and 8 or 16 bits (eight_bit non-zero: 8).
WaveFormat MakeWaveFormat(int rate, int channels, int eight_bit);

}  // namespace vek
