// The info frame an encoder puts first in a file (a Xing or VBRI header in a
// variable-bitrate file, an Info header in a constant-bitrate one): the stream's frame count, a
// table from frame number to byte position, so that length and seeking need no guess from the first
// header's bitrate, and the encoder's LAME tag. The frame itself holds no audio.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/frame_header.h"

namespace vek {

constexpr int kMaxVbriEntries = 1024;

// The LAME extension of a Xing or Info header: who encoded the stream, and how
// many samples of silence the encoder put before the audio (its delay) and
// after it (padding up to a whole frame), so that a player can cut them away.
struct LameTag {
    bool present = false;
    char encoder[10] = {};  // the version text, "LAME3.100" for example
    int32_t delay = 0;      // 0..4095
    int32_t padding = 0;    // 0..4095
    // The loudness corrections the encoder measured, in tenths of a dB, where
    // it stored them: radio (as for a track) and audiophile (as for an album).
    bool has_radio_gain = false, has_audiophile_gain = false;
    int32_t radio_gain = 0, audiophile_gain = 0;  // -511..511
};

struct VbrTable {
    // Info: the count of a constant-bitrate stream; its positions come from the
    // first header's frame length, as without an info frame.
    enum class Kind { kNone, kXing, kInfo, kVbri };
    Kind kind = Kind::kNone;
    int32_t frames = 0;    // audio frames after the info frame
    int64_t bytes = 0;     // Xing: bytes of the stream from the info frame on (0 unknown)
    bool has_toc = false;  // Xing: toc holds the 100-entry table
    uint8_t toc[100] = {};
    int32_t frame_bytes = 0;       // VBRI: length of the info frame itself
    int32_t frames_per_entry = 0;  // VBRI: frames each entry measures
    int32_t entries = 0;
    int64_t entry_end[kMaxVbriEntries] =
        {};  // VBRI: bytes after the info frame up to each entry's end
    LameTag lame;  // Xing and Info
};

// frame: the stream's first frame, header bytes first, with header its
// decoded fields. True when it is an info frame that gives a frame count;
// *table then describes the stream.
bool ParseVbrHeader(const uint8_t* frame, size_t size, const FrameHeader& header, VbrTable* table);

// Where frame n (0 = the first audio frame) begins, in bytes from the info
// frame's first byte, interpolated between the table's entries. Without a
// table, the stream's average frame length; -1 when nothing says.
int64_t VbrByteOfFrame(const VbrTable& table, int32_t n);

}  // namespace vek
