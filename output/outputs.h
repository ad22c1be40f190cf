// The two output systems' tables.
#pragma once

#include "output/output_system.h"

namespace vek {

extern const OutputSystem kWaveOutOutput;  // the sound device, over SDL2
extern const OutputSystem kWavFileOutput;  // .wav files

}  // namespace vek
