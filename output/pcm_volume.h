// The device volume applied to samples on their way to the sound device.
//
// A volume word holds the left channel's level in its low 16 bits and the
// right channel's in its high 16 bits, 0..0xFFFF. A level scales a sample by
// level / 65536, rounded down, except 0xFFFF (the device's untouched level),
// which passes samples unchanged; 0 mutes. 16-bit samples are signed and
// scale around 0, 8-bit samples unsigned and scale around 128. Mono uses the
// left level.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vek {

inline constexpr uint32_t kFullVolume = 0xFFFFFFFFu;

// The word for one level on both channels from a step on the 0..63 scale:
// (step x 1024) AND 0xFFFF, so 60 gives 61440 and 64 wraps to 0.
uint32_t VolumeWordOfStep(int step);

// Scales whole frames in place; a trailing partial frame is left alone.
void ApplyVolume(uint8_t* samples, size_t bytes, int channels, int bits, uint32_t volume);

}  // namespace vek
