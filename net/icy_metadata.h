// Internet radio speaks the ICY dialect of HTTP: asked for it, the server puts a
// metadata block into the audio every `icy-metaint` bytes. A block is one
// length byte (in units of 16 bytes, 0 for an empty block) followed by that
// much text such as "StreamTitle='Artist - Song';StreamUrl='';", padded with
// NULs. The player wants the audio and the title, each on its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/display_text.h"

namespace vek {

// Where one response's body stands between audio and blocks.
struct IcyDemuxer {
    uint32_t interval = 0;    // audio bytes between blocks; 0: the body is all audio
    uint32_t audio_left = 0;  // audio bytes before the next length byte
    size_t block_left = 0;    // bytes of the current block still to come
    bool in_block = false;
    std::string block;
};

struct IcySink {
    void (*audio)(void* context, const char* data, size_t size);
    void (*block)(void* context, std::string_view text);  // not called for empty blocks
    void* context;
};

// A new body begins, with blocks every interval bytes (0: none).
void StartIcyBody(IcyDemuxer* demuxer, uint32_t interval);

// Hands the audio of data to sink.audio, in runs, and each completed block to
// sink.block. Data may be cut anywhere, even inside a block.
void FeedIcyBody(IcyDemuxer* demuxer, const char* data, size_t size, const IcySink& sink);

// The value of `icy-metaint` as a count of bytes; 0 when it is no such count.
uint32_t ParseIcyInterval(std::string_view value);

// The StreamTitle of a block, made fit to show (see CleanTitle); false when the
// block has none. The title may hold apostrophes of its own: it ends at the
// "';" that closes the field, or at the block's last apostrophe.
bool FindStreamTitle(std::string_view block, std::string* title);

}  // namespace vek
