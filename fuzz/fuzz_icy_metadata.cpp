// Arbitrary bytes as a radio body: byte 0 is the metadata interval (0: none),
// byte 1 picks where the body is cut, the rest is the body. Fed whole and in
// pieces, the demultiplexer must hand out the same audio and blocks as the
// format's plain reading, and every title found must be fit to show.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "net/icy_metadata.h"
#include "tests/net/icy_capture.h"

namespace {

using Split = vek::test::IcyCapture;

// The body read by the format's definition, all at once.
Split Expected(std::string_view body, size_t interval) {
    Split split;
    while (!body.empty()) {
        size_t run = interval == 0 ? body.size() : std::min(interval, body.size());
        split.audio.append(body.substr(0, run));
        body.remove_prefix(run);
        if (body.empty()) break;
        size_t length = static_cast<uint8_t>(body[0]) * size_t{16};
        body.remove_prefix(1);
        if (length > 0 && length <= body.size()) split.blocks.emplace_back(body.substr(0, length));
        body.remove_prefix(std::min(length, body.size()));
    }
    return split;
}

Split Demultiplex(std::string_view body, uint32_t interval, unsigned cuts) {
    vek::IcyDemuxer demuxer;
    vek::StartIcyBody(&demuxer, interval);
    Split split;
    std::minstd_rand random(cuts + 1);
    while (!body.empty()) {
        size_t piece = cuts == 0 ? body.size() : 1 + random() % std::min<size_t>(body.size(), 64);
        vek::FeedIcyBody(&demuxer, body.data(), piece, split.Sink());
        body.remove_prefix(piece);
    }
    return split;
}

void CheckTitle(const std::string& title) {
    if (!title.empty() && (title.front() == ' ' || title.back() == ' ')) std::abort();
    for (size_t i = 0; i < title.size(); ++i) {
        auto byte = static_cast<unsigned char>(title[i]);
        auto next = i + 1 < title.size() ? static_cast<unsigned char>(title[i + 1]) : 0;
        if (byte < 0x20 || byte == 0x7F || (byte == 0xC2 && next >= 0x80 && next <= 0x9F))
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    uint32_t interval = data[0];
    std::string_view body(reinterpret_cast<const char*>(data) + 2, size - 2);
    Split expected = Expected(body, interval);
    for (unsigned cuts : {0u, data[1] + 1u}) {
        Split got = Demultiplex(body, interval, cuts);
        if (got.audio != expected.audio || got.blocks != expected.blocks) std::abort();
    }
    for (const std::string& block : expected.blocks) {
        std::string title;
        if (vek::FindStreamTitle(block, &title)) CheckTitle(title);
    }
    return 0;
}
