// Arbitrary bytes as a radio body: byte 0 is the metadata interval (0: none),
// byte 1 picks where the body is cut, the rest is the body. Fed whole and in
// pieces, the demultiplexer must hand out the same audio and blocks as the
// format's plain reading, and every title found, and the body taken as a
// station's name, must be fit to show.
#include <algorithm>
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

// One character of strict UTF-8 (no overlong form, surrogate or value past
// U+10FFFF), or -1.
int32_t Decode(std::string_view text, size_t* at) {
    auto lead = static_cast<uint8_t>(text[*at]);
    int extra = lead < 0x80 ? 0 : lead < 0xC0 ? -1 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    if (extra < 0 || lead >= 0xF8 || text.size() - *at <= static_cast<size_t>(extra)) return -1;
    int32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) {
        auto next = static_cast<uint8_t>(text[*at + i]);
        if ((next & 0xC0) != 0x80) return -1;
        code = code << 6 | (next & 0x3F);
    }
    constexpr int32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (code < kLeast[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return -1;
    *at += static_cast<size_t>(extra) + 1;
    return code;
}

// The characters of text: UTF-8 when it is valid, else Latin-1.
std::vector<int32_t> Characters(std::string_view text, bool* utf8 = nullptr) {
    std::vector<int32_t> codes;
    for (size_t at = 0; at < text.size();) {
        int32_t code = Decode(text, &at);
        if (code < 0) {
            if (utf8) *utf8 = false;
            codes.assign(text.begin(), text.end());
            for (int32_t& c : codes) c &= 0xFF;
            return codes;
        }
        codes.push_back(code);
    }
    if (utf8) *utf8 = true;
    return codes;
}

// Fit to show: valid UTF-8 of at most 255 characters, none a control or
// U+FFFD, no space at either end, clean again as it is; and when raw is what
// it came from, nothing in it that raw did not hold, in raw's order.
void CheckTitle(const std::string& title, std::string_view raw = {}) {
    bool utf8 = false;
    std::vector<int32_t> codes = Characters(title, &utf8);
    if (!utf8 || codes.size() > vek::kMaxTitleChars || vek::CleanTitle(title) != title)
        std::abort();
    if (!codes.empty() && (codes.front() == ' ' || codes.back() == ' ')) std::abort();
    for (int32_t code : codes)
        if (code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0xFFFD) std::abort();
    if (raw.empty()) return;
    std::vector<int32_t> from = Characters(raw);
    auto next = from.begin();
    for (int32_t code : codes) {
        next = std::find(next, from.end(), code);
        if (next == from.end()) std::abort();
        ++next;
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
    // The same rules for the station's name, from a header of the answer.
    CheckTitle(vek::CleanTitle(body), body);
    return 0;
}
