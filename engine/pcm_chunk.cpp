#include "engine/pcm_chunk.h"

#include <cstring>

#include "output/output_system.h"

namespace vek {
namespace {

// Returns false when the output took nothing, so callers cannot spin on it.
bool WriteChunk(PcmChunk* chunk) {
    int taken = Output().Write(chunk->fill, chunk->data);
    if (taken >= 0 && taken < chunk->fill) {
        if (taken > 0)
            std::memmove(chunk->data, chunk->data + taken,
                         static_cast<size_t>(chunk->fill - taken));
        chunk->fill -= taken;
    } else {
        chunk->fill = 0;  // all taken, or the write failed and the samples are dropped
    }
    return taken != 0;
}

}  // namespace

void AppendPcm(PcmChunk* chunk, const uint8_t* pcm, size_t bytes, size_t block_size) {
    while (bytes > 0) {
        size_t block = bytes < block_size ? bytes : block_size;
        // A short write can leave the chunk too full for another block; write the
        // rest out first rather than overrun the buffer.
        while (chunk->fill + static_cast<int>(block) > kPcmChunkBytes) {
            if (!WriteChunk(chunk)) chunk->fill = 0;
        }
        std::memcpy(chunk->data + chunk->fill, pcm, block);
        chunk->fill += static_cast<int>(block);
        pcm += block;
        bytes -= block;
        if (chunk->fill >= kPcmWriteBytes) WriteChunk(chunk);
    }
}

void FlushPcm(PcmChunk* chunk) {
    if (chunk->fill > 0 && Output().IsOpen()) Output().Write(chunk->fill, chunk->data);
    chunk->fill = 0;
}

}  // namespace vek
