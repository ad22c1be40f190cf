// Helpers of the engine tests: an output that keeps every byte written to it,
// whole-file decoding the way the decoder thread does it, and synthetic
// frames with chosen header bits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/frame_header.h"
#include "engine/pcm_chunk.h"

namespace vek::test {

// Installs an output table that records what is written; restores the
// previous table at the end of the scope.
class CaptureOutput {
  public:
    CaptureOutput();
    ~CaptureOutput();
    CaptureOutput(const CaptureOutput&) = delete;
    CaptureOutput& operator=(const CaptureOutput&) = delete;
    const std::vector<uint8_t>& bytes() const;
    void Clear();
};

// Settings that the decoder reads, restored to their defaults at scope end.
struct DecodeSettings {
    int down_sample = 0;
    int channels = -1;
    int eight_bit = 0;
    int eq_enabled = 0;
};
void ApplySettings(const DecodeSettings& settings);

struct Decoded {
    bool opened = false;
    int frames = 0;    // frames delivered by the reader
    int failures = 0;  // frames the decoder rejected
    int header_changes = 0;
    FrameHeader header;            // as after the last frame
    std::vector<int> frame_bytes;  // PCM bytes each decoded frame added
    std::vector<uint8_t> pcm;
};

// One track decoded frame by frame, each frame's PCM taken as it comes.
class Session {
  public:
    Session(const std::string& path, const DecodeSettings& settings);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // 1 decoded into *pcm, 0 rejected, -1 end of input.
    int Next(std::vector<uint8_t>* pcm);

    CaptureOutput capture;
    FrameHeader header;
    uint8_t chunk_data[kPcmChunkBytes] = {};
    PcmChunk chunk{chunk_data, 0};
    bool opened = false;
};

// Prepares the decoder with the settings, then reads and decodes the whole
// input the way the decoder thread does (two frames skipped after a failure)
// into a capturing output, and collects the chunk's tail at the end.
Decoded DecodeFile(const std::string& path, const DecodeSettings& settings = {});

// Header word of a frame; version 1, 2 or 25 (MPEG 2.5).
uint32_t MakeHeader(int version, int layer, int bitrate_index, int rate_index, int padding = 0,
                    int mode = 0, bool crc = false);
// The frame's length in bytes, header included, by the standard's formulas.
int FrameBytes(uint32_t header);
// A frame with this header and a zero body.
std::vector<uint8_t> MakeFrame(uint32_t header);
void Append(std::vector<uint8_t>* to, const std::vector<uint8_t>& bytes);

std::vector<int16_t> Samples(const std::vector<uint8_t>& bytes);
// One channel of interleaved stereo.
std::vector<int16_t> Channel(const std::vector<int16_t>& stereo, int channel);
// Largest difference over the common length (-1 when that length is 0).
int MaxDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b);

// Runs fn with the standard error stream going to a file and returns what
// was written there.
template <typename Fn>
std::string CaptureStderr(Fn fn);
int BeginStderrCapture(std::string* path);
std::string EndStderrCapture(int saved, const std::string& path);

template <typename Fn>
std::string CaptureStderr(Fn fn) {
    std::string path;
    int saved = BeginStderrCapture(&path);
    fn();
    return EndStderrCapture(saved, path);
}

}  // namespace vek::test
