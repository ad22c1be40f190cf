// How the settings act on decoding: the PCM format, the channel handling and
// the equaliser, over libmpg123.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/equaliser.h"
#include "engine/frame_header.h"
#include "engine/gapless.h"
#include "engine/pcm_chunk.h"

namespace vek {

// Before each track: takes DownSample, Channels and AudioOutput8Bit (limited to
// values that exist: DownSample to 0..2, Channels above 2 to 2, any negative
// Channels to -1) into header, sets the block size, and starts the decoder
// afresh (tables, bit reservoir and synthesis history cleared).
void PrepareDecoder(FrameHeader* header);

// Scales the samples of the frames decoded from now on by factor (1.0: as
// decoded); PrepareDecoder sets 1.0. The scaling happens in the synthesis,
// before the samples are rounded to 16 bits, and saturates rather than wraps.
void SetDecoderGain(double factor);

// Decodes one frame, header bytes first, then the body with its CRC word (the
// library checks the CRC itself; callers skip nothing), as the stream reader
// delivers it, and appends its samples to chunk by the chunk rule. header holds
// the frame's fields and PrepareDecoder's choices. With a window, only the
// samples it keeps go in, its at taken as the frame's first sample (gapless.h).
// The frame's samples are in the chunk (or written) when this returns.
// 1 decoded, 0 the frame was rejected (the caller then skips two).
int DecodeFrame(const FrameHeader& header, const uint8_t* frame, size_t size, PcmChunk* chunk,
                const SampleWindow* window = nullptr);

// After a seek: the next frame starts with an empty bit reservoir. The
// synthesis history is cleared with it.
void DiscardDecoderState();

// What the output must be opened with for frames of this header, by the
// choices PrepareDecoder wrote into it: the stream's rate shifted right by the
// down-sample (0 for a rate index outside the table), and 1 or 2 channels.
int OutputRate(const FrameHeader& header);
int OutputChannels(const FrameHeader& header);

}  // namespace vek
