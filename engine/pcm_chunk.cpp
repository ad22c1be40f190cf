#include "engine/pcm_chunk.h"

#include <algorithm>
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
    if (block_size == 0) block_size = bytes;
    while (bytes > 0) {
        size_t block = std::min(bytes, block_size);
        // A short write can leave the chunk too full for another block; write the
        // rest out first rather than overrun the buffer.
        while (chunk->fill + static_cast<int>(block) > kPcmChunkBytes) {
            if (!WriteChunk(chunk)) chunk->fill = 0;
        }
        // The blocks up to the one that reaches the write threshold go in with
        // one copy: nothing is written between them.
        size_t run = block;
        if (chunk->fill < kPcmWriteBytes) {
            size_t to_threshold = static_cast<size_t>(kPcmWriteBytes - chunk->fill);
            run = std::min(bytes, (to_threshold + block - 1) / block * block);
            size_t room = static_cast<size_t>(kPcmChunkBytes - chunk->fill);
            if (run > room) run = room / block * block;
        }
        std::memcpy(chunk->data + chunk->fill, pcm, run);
        chunk->fill += static_cast<int>(run);
        pcm += run;
        bytes -= run;
        if (chunk->fill >= kPcmWriteBytes) WriteChunk(chunk);
    }
}

void FlushPcm(PcmChunk* chunk) {
    if (chunk->fill > 0 && Output().IsOpen()) Output().Write(chunk->fill, chunk->data);
    chunk->fill = 0;
}

}  // namespace vek
