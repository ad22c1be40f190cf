// How the settings act on decoding: the PCM format, the channel handling and
// the equaliser, over libmpg123.
#pragma once

#include <atomic>

#include "engine/frame_header.h"
#include "engine/pcm_chunk.h"

namespace vek {

// Before each track: takes DownSample, Channels and AudioOutput8Bit (limited to
// values that exist) into header, sets the block size, and starts the decoder
// afresh (tables, bit reservoir and synthesis history cleared).
void PrepareDecoder(FrameHeader* header);

// Decodes the reader's current frame and appends its samples to chunk by the
// chunk rule. 1 decoded, 0 the frame was rejected (the caller then skips two).
int DecodeFrame(FrameHeader* header, PcmChunk* chunk);

// After a seek: the next frame starts with an empty bit reservoir.
void DiscardDecoderState();

// The twelve band gains at their breakpoints, linear in between: 576 gains,
// one per spectral line of a layer III granule. Main thread.
void BuildEqualiserCurve(const float bands[12]);

// The curve, read by the decoder thread for every layer III frame while
// EqEnabled is set.
float EqualiserCurveValue(int line);

}  // namespace vek
