// The two output systems' tables, and what the sound device tells beyond them.
#pragma once

#include "output/output_system.h"
#include "output/wave_format.h"

namespace vek {

extern const OutputSystem kWaveOutOutput;  // the sound device, over SDL2
extern const OutputSystem kWavFileOutput;  // .wav files

// The sound device's format record of its last open. Decoder thread.
WaveFormat WaveOutFormat();

// Closes the sound device (discarding what is queued) and shuts SDL audio
// down, so that the next open starts SDL afresh. Decoder thread, or at exit.
void ShutdownSoundDevice();

}  // namespace vek
