#include "engine/vbr_header.h"

#include <climits>
#include <cstring>

namespace vek {
namespace {

constexpr uint32_t kXingFrames = 1;
constexpr uint32_t kXingBytes = 2;
constexpr uint32_t kXingToc = 4;
constexpr uint32_t kXingQuality = 8;
constexpr size_t kTocEntries = 100;
// A VBRI header sits this far after the frame header, whatever the mode.
constexpr size_t kVbriOffset = 4 + 32;
constexpr size_t kVbriFixedBytes = 26;

uint32_t BigEndian(const uint8_t* p, size_t bytes) {
    uint32_t value = 0;
    for (size_t i = 0; i < bytes; ++i) value = value << 8 | p[i];
    return value;
}

// The Xing header follows the layer III side information. Encoders put it
// there as if the frame had no CRC word even when the header announces one.
size_t XingOffset(const FrameHeader& h) {
    size_t side = h.lsf ? (h.stereo == 1 ? 9 : 17) : (h.stereo == 1 ? 17 : 32);
    return 4 + side;
}

// The LAME extension follows the Xing fields: a 9-byte version text, then
// fields of fixed size, among them delay and padding as two 12-bit numbers 21
// bytes in. Encoders that write no extension leave other bytes there; only a
// version text of the encoders that use this layout is trusted.
// A ReplayGain field: its kind in the top three bits (1 radio, 2 audiophile),
// who set it in the next three (0: nobody, the field is empty), then a sign and
// the gain in tenths of a dB.
bool ParseLameGain(const uint8_t* p, uint32_t kind, int32_t* tenths) {
    uint32_t v = BigEndian(p, 2);
    if (v >> 13 != kind || ((v >> 10) & 7) == 0) return false;
    int32_t size = static_cast<int32_t>(v & 0x1FF);
    *tenths = (v & 0x200) ? -size : size;
    return true;
}

void ParseLameTag(const uint8_t* p, size_t size, LameTag* tag) {
    constexpr size_t kVersionBytes = 9;
    constexpr size_t kDelayAt = 21;
    if (size < kDelayAt + 3) return;
    if (std::memcmp(p, "LAME", 4) != 0 && std::memcmp(p, "Lavf", 4) != 0 &&
        std::memcmp(p, "Lavc", 4) != 0)
        return;
    tag->present = true;
    for (size_t i = 0; i < kVersionBytes && p[i] >= 0x20 && p[i] < 0x7F; ++i)
        tag->encoder[i] = static_cast<char>(p[i]);
    uint32_t both = BigEndian(p + kDelayAt, 3);
    tag->delay = static_cast<int32_t>(both >> 12);
    tag->padding = static_cast<int32_t>(both & 0xFFF);
    tag->has_radio_gain = ParseLameGain(p + 15, 1, &tag->radio_gain);
    tag->has_audiophile_gain = ParseLameGain(p + 17, 2, &tag->audiophile_gain);
}

bool ParseXing(const uint8_t* frame, size_t size, size_t at, VbrTable* t) {
    if (size < at + 8) return false;
    bool info = std::memcmp(frame + at, "Info", 4) == 0;
    if (!info && std::memcmp(frame + at, "Xing", 4) != 0) return false;
    uint32_t flags = BigEndian(frame + at + 4, 4);
    at += 8;
    size_t needed = at + ((flags & kXingFrames) ? 4 : 0) + ((flags & kXingBytes) ? 4 : 0) +
                    ((flags & kXingToc) ? kTocEntries : 0);
    if (!(flags & kXingFrames) || size < needed) return false;
    uint32_t frames = BigEndian(frame + at, 4);
    at += 4;
    if (frames == 0 || frames > INT32_MAX) return false;
    VbrTable table;
    // "Info" marks a constant-bitrate stream, whose positions the first header
    // gives exactly.
    table.kind = info ? VbrTable::Kind::kInfo : VbrTable::Kind::kXing;
    table.frames = static_cast<int32_t>(frames);
    if (flags & kXingBytes) {
        table.bytes = BigEndian(frame + at, 4);
        at += 4;
    }
    if (flags & kXingToc) {
        std::memcpy(table.toc, frame + at, kTocEntries);
        at += kTocEntries;
        // A table that runs backwards is no table.
        table.has_toc = true;
        for (size_t i = 1; i < kTocEntries; ++i)
            if (table.toc[i] < table.toc[i - 1]) table.has_toc = false;
    }
    if (flags & kXingQuality) at += 4;
    if (at < size) ParseLameTag(frame + at, size - at, &table.lame);
    *t = table;
    return true;
}

bool ParseVbri(const uint8_t* frame, size_t size, VbrTable* t) {
    if (size < kVbriOffset + kVbriFixedBytes || std::memcmp(frame + kVbriOffset, "VBRI", 4) != 0)
        return false;
    const uint8_t* p = frame + kVbriOffset + 4;
    // version, delay and quality are of no use here
    uint32_t bytes = BigEndian(p + 6, 4);
    uint32_t frames = BigEndian(p + 10, 4);
    uint32_t entries = BigEndian(p + 14, 2);
    uint32_t scale = BigEndian(p + 16, 2);
    uint32_t entry_size = BigEndian(p + 18, 2);
    uint32_t per_entry = BigEndian(p + 20, 2);
    if (frames == 0 || frames > INT32_MAX) return false;
    VbrTable table;
    table.kind = VbrTable::Kind::kVbri;
    table.frames = static_cast<int32_t>(frames);
    table.bytes = bytes;
    table.frame_bytes = static_cast<int32_t>(size);
    const uint8_t* entry = p + 22;
    // A table that does not fit the frame or says nothing is left out; the
    // frame count still holds.
    if (entries > 0 && entries <= kMaxVbriEntries && entry_size >= 1 && entry_size <= 4 &&
        per_entry > 0 && scale > 0 &&
        static_cast<size_t>(entry - frame) + entries * entry_size <= size) {
        int64_t sum = 0;
        for (uint32_t i = 0; i < entries; ++i) {
            sum += static_cast<int64_t>(BigEndian(entry + i * entry_size, entry_size)) * scale;
            table.entry_end[i] = sum;
        }
        table.entries = static_cast<int32_t>(entries);
        table.frames_per_entry = static_cast<int32_t>(per_entry);
    }
    *t = table;
    return true;
}

}  // namespace

bool ParseVbrHeader(const uint8_t* frame, size_t size, const FrameHeader& header, VbrTable* table) {
    *table = VbrTable{};
    if (!frame || header.layer != 3) return false;
    // Behind the CRC word too, where an encoder that counts it would write it.
    size_t xing = XingOffset(header);
    return ParseXing(frame, size, xing, table) ||
           (header.error_protection && ParseXing(frame, size, xing + 2, table)) ||
           ParseVbri(frame, size, table);
}

int64_t VbrByteOfFrame(const VbrTable& t, int32_t n) {
    if (t.frames <= 0 || n < 0) return -1;
    if (t.kind == VbrTable::Kind::kVbri && t.entries > 0) {
        int32_t entry = n / t.frames_per_entry;
        if (entry >= t.entries) return t.frame_bytes + t.entry_end[t.entries - 1];
        int64_t start = entry > 0 ? t.entry_end[entry - 1] : 0;
        int64_t length = t.entry_end[entry] - start;
        int32_t into = n % t.frames_per_entry;
        // In floating point: a hostile table's lengths times the frame index
        // would overflow 64 bits.
        double within = static_cast<double>(length) * into / t.frames_per_entry;
        return t.frame_bytes + start + static_cast<int64_t>(within);
    }
    if (t.bytes <= 0) return -1;
    double percent = 100.0 * n / t.frames;
    if (!t.has_toc) return static_cast<int64_t>(percent / 100.0 * static_cast<double>(t.bytes));
    if (percent > 100.0) percent = 100.0;
    int index = static_cast<int>(percent);
    if (index > 99) index = 99;
    double from = t.toc[index];
    double to = index < 99 ? t.toc[index + 1] : 256.0;
    double fraction = (from + (to - from) * (percent - index)) / 256.0;
    return static_cast<int64_t>(fraction * static_cast<double>(t.bytes));
}

}  // namespace vek
