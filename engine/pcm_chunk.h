// The decoder thread's buffer of decoded samples. Blocks are appended in
// order; whenever the fill reaches 16384 bytes the chunk is written to the
// active output, so every write is exactly 16384 bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vek {

inline constexpr int kPcmChunkBytes = 16896;
inline constexpr int kPcmWriteBytes = 16384;

struct PcmChunk {
    uint8_t* data = nullptr;  // kPcmChunkBytes
    int fill = 0;
};

// Appends pcm (a whole number of blocks of block_size bytes) one block at a
// time, writing after each block that brings the fill to 16384 or more. A
// write taking fewer bytes (but not failing) keeps the rest at the front.
void AppendPcm(PcmChunk* chunk, const uint8_t* pcm, size_t bytes, size_t block_size);

// Writes whatever the chunk holds and empties it (used before an output is
// closed at a natural boundary so that no decoded sample is lost).
void FlushPcm(PcmChunk* chunk);

}  // namespace vek
