// The decoded fields of an MPEG audio frame header and the per-track decoder
// choices. Filled by the stream reader, configured by PrepareDecoder, owned by
// the decoder thread.
#pragma once

#include <cstdint>

namespace vek {

struct FrameHeader {
    int32_t stereo = 2;    // channels in the stream: 1 for single channel
    int32_t jsbound = 32;  // first sub-band coded as intensity stereo
    int32_t single = -1;   // -1 both, 0 left, 1 right, 2 mono mix
    int32_t sblimit = 32;  // layer II: number of coded sub-bands
    int32_t lsf = 0;       // 0 MPEG-1, 1 MPEG-2 and MPEG 2.5
    int32_t mpeg25 = 0;
    int32_t down_sample = 0;       // 0 full, 1 half, 2 quarter rate
    int32_t header_change = 0;     // 1 when this frame's header word differs from the last
    int32_t block_size = 128;      // bytes one synthesis step yields
    int32_t eight_bit = 0;         // samples are 8-bit unsigned
    int32_t mono = 0;              // one output channel
    int32_t layer = 0;             // 1, 2 or 3
    int32_t error_protection = 0;  // 1 when the frame carries a CRC word
    int32_t bitrate_index = 0;     // 0..14
    int32_t sampling_index = 0;    // into the rate table
    int32_t padding = 0;
    int32_t extension = 0;  // the private bit
    int32_t mode = 0;
    int32_t mode_ext = 0;
    int32_t copyright = 0;
    int32_t original = 0;
    int32_t emphasis = 0;
    int32_t body_length = 0;  // bytes after the 4 header bytes
};

// Sampling rate by sampling index; 7 and 8 extend the table for MPEG 2.5 rate
// indices 1 and 2.
inline constexpr int32_t kSampleRates[9] = {44100, 48000, 32000, 22050, 24000,
                                            16000, 11025, 12000, 8000};

// Bitrates in kbit/s by [lsf][layer - 1][bitrate index]; index 15 is forbidden
// and never looked up.
inline constexpr int32_t kBitrates[2][3][15] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};

}  // namespace vek
