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

int WaitIntervalMs(uint32_t avg_bytes_per_sec, int chunk_bytes) {
    if (avg_bytes_per_sec == 0 || chunk_bytes <= 0) return 1;
    // The chunks per second are a fraction: with whole numbers 44100 Hz stereo
    // would give 10 chunks and 50 ms instead of 10.77 chunks and 46 ms.
    double chunks_per_second = static_cast<double>(avg_bytes_per_sec) / chunk_bytes;
    double interval = (1000.0 / chunks_per_second) * 0.5;
    if (interval < 1.0) return 1;
    if (interval > 60000.0) return 60000;  // keeps the conversion defined
    return static_cast<int>(interval);
}

}  // namespace vek
