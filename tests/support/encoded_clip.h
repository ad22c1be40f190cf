// Files made by the lame encoder from audio the test generates, for the
// behaviour of real encoders' output (variable bitrate, info frames).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vek::test {

// Writes `seconds` of stereo audio at rate as a .wav file at wav_path: quiet
// tones for the first half, loud noisy ones for the second, so that a
// variable-bitrate encoder spends very different numbers of bits on the two.
bool WriteTestWav(const std::string& wav_path, int seconds, int rate = 44100);

// Encodes wav_path into mp3_path with `lame --quiet options...`. An empty
// string on success, else what went wrong (lame missing: install it with
// scripts/install-deps.sh --test).
std::string EncodeWithLame(const std::string& wav_path, const std::string& mp3_path,
                           const std::vector<std::string>& options);

// The samples `mpg123 -q options... -w wav_path` (gapless unless options say
// not) decodes from mp3_path; empty when it fails.
std::vector<uint8_t> DecodeWithMpg123(const std::string& mp3_path, const std::string& wav_path,
                                      const std::vector<std::string>& options = {});

// Writes 5 s of silent layer III whose first frame (320 kbit/s) is ten times
// the bitrate of the others: a length estimated from it is a tenth too short.
bool WriteUnderestimatedMp3(const std::string& mp3_path);

}  // namespace vek::test
