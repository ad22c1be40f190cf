// Copies of an audio file with tags written as taggers write them (with
// TagLib), for the tests of what the player reads from them and shows.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vek::test {

struct TagWriting {
    enum Kind { kId3v23, kId3v24, kApe, kId3v1 } kind = kId3v24;
    // UTF-8; empty fields are not written.
    std::string title{};
    std::vector<std::string> artists{};
    std::string album{}, album_artist{}, genre{}, track{}, date{};
    bool latin1 = false;    // ID3v2 text frames in Latin-1
    std::string picture{};  // a front cover's bytes
    // Other fields by their name, such as REPLAYGAIN_TRACK_GAIN (TXXX frames in ID3v2).
    std::vector<std::pair<std::string, std::string>> more{};
};

// Copies source to path and writes the tags into the copy, each kind once.
bool WriteTaggedCopy(const std::string& source, const std::string& path,
                     const std::vector<TagWriting>& tags);

// A picture of that many bytes that begins as a JPEG file does.
std::string JpegLike(size_t bytes);

}  // namespace vek::test
