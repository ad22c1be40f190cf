#include "output/pcm_volume.h"

#include <cstring>

namespace vek {
namespace {

// 0xFFFF means "not turned down" and must not cost the sample's lowest bit.
int32_t GainOfLevel(uint32_t level) {
    return level == 0xFFFF ? 65536 : static_cast<int32_t>(level);
}

int16_t Scale16(int16_t sample, int32_t gain) {
    // C++20 shifts negative values arithmetically, so this rounds down.
    return static_cast<int16_t>((static_cast<int32_t>(sample) * gain) >> 16);
}

uint8_t Scale8(uint8_t sample, int32_t gain) {
    return static_cast<uint8_t>(128 + (((static_cast<int32_t>(sample) - 128) * gain) >> 16));
}

}  // namespace

uint32_t VolumeWordOfStep(int step) {
    uint32_t level = (static_cast<uint32_t>(step) * 1024u) & 0xFFFFu;
    return level | level << 16;
}

void ApplyVolume(uint8_t* samples, size_t bytes, int channels, int bits, uint32_t volume) {
    if (volume == kFullVolume || channels < 1) return;
    int32_t gains[2] = {GainOfLevel(volume & 0xFFFF), GainOfLevel(volume >> 16)};
    size_t sample_bytes = bits == 8 ? 1 : 2;
    size_t frame_bytes = sample_bytes * static_cast<size_t>(channels);
    size_t frames = bytes / frame_bytes;
    uint8_t* p = samples;
    for (size_t f = 0; f < frames; ++f) {
        for (int c = 0; c < channels; ++c) {
            int32_t gain = gains[c == 1 ? 1 : 0];
            if (sample_bytes == 1) {
                *p = Scale8(*p, gain);
            } else {
                int16_t sample;  // the stream need not be aligned for int16_t
                std::memcpy(&sample, p, 2);
                sample = Scale16(sample, gain);
                std::memcpy(p, &sample, 2);
            }
            p += sample_bytes;
        }
    }
}

}  // namespace vek
