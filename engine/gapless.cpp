#include "engine/gapless.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "engine/stream_reader.h"

namespace vek {
namespace {

constexpr size_t kTagHeaderBytes = 10;
// A comment longer than this is no iTunSMPB value; a tag with more frames
// than this is not searched further (a hostile tag of tiny frames).
constexpr uint32_t kMaxCommentBytes = 512;
constexpr int kMaxFrames = 1024;
constexpr unsigned long long kMaxGap = 4095;
constexpr char kItunesName[] = "iTunSMPB";

bool ReadExactly(int fd, uint8_t* out, size_t count, int64_t offset) {
    size_t got = 0;
    while (got < count) {
        ssize_t n = pread(fd, out + got, count - got,
                          static_cast<off_t>(offset + static_cast<int64_t>(got)));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got += static_cast<size_t>(n);
    }
    return true;
}

uint32_t BigEndian(const uint8_t* p, size_t bytes) {
    uint32_t value = 0;
    for (size_t i = 0; i < bytes; ++i) value = value << 8 | p[i];
    return value;
}

uint32_t Syncsafe(const uint8_t* p) {
    return static_cast<uint32_t>(p[0] & 0x7F) << 21 | (p[1] & 0x7F) << 14 | (p[2] & 0x7F) << 7 |
           (p[3] & 0x7F);
}

// One text of a frame in its encoding (0 Latin-1, 1 UTF-16 with BOM, 2 UTF-16,
// 3 UTF-8) as its ASCII characters only, which is all the names and hex
// digits looked for here hold. Returns the bytes taken, terminator included.
size_t AsciiText(const uint8_t* p, size_t size, int encoding, char* out, size_t out_size) {
    bool wide = encoding == 1 || encoding == 2;
    size_t step = wide ? 2 : 1, i = 0, n = 0;
    for (; i + step <= size; i += step) {
        uint8_t a = p[i], b = wide ? p[i + 1] : 0;
        if (a == 0 && b == 0) return i + step;
        uint8_t ascii = wide ? (a == 0 ? b : b == 0 ? a : 0) : a;
        if (ascii > 0 && ascii < 0x80 && n + 1 < out_size) out[n++] = static_cast<char>(ascii);
        out[n] = '\0';
    }
    if (n < out_size) out[n] = '\0';
    return i;
}

bool ParseItunesValue(const char* text, EncoderGap* gap) {
    unsigned long long fields[4];
    const char* p = text;
    for (unsigned long long& field : fields) {
        char* end = nullptr;
        errno = 0;
        field = std::strtoull(p, &end, 16);
        if (end == p || errno != 0) return false;
        p = end;
    }
    // Delay and padding are a frame or so, within what a LAME tag can state:
    // more would cut a hole into the music of a file whose comment is wrong.
    if (fields[1] > kMaxGap || fields[2] > kMaxGap || fields[3] > (1ull << 48)) return false;
    gap->delay = static_cast<int32_t>(fields[1]);
    gap->padding = static_cast<int32_t>(fields[2]);
    gap->samples = static_cast<int64_t>(fields[1] + fields[2] + fields[3]);
    return gap->samples > 0;
}

// A COMM or TXXX frame's body: encoding, (COMM: language), name, value.
bool ParseComment(const uint8_t* body, size_t size, bool has_language, EncoderGap* gap) {
    size_t at = has_language ? 4 : 1;
    if (size <= at) return false;
    int encoding = body[0];
    char name[sizeof kItunesName + 8];
    at += AsciiText(body + at, size - at, encoding, name, sizeof name);
    if (std::strcmp(name, kItunesName) != 0 || at >= size) return false;
    char value[kMaxCommentBytes];
    AsciiText(body + at, size - at, encoding, value, sizeof value);
    return ParseItunesValue(value, gap);
}

}  // namespace

bool ReadItunesGap(int fd, EncoderGap* gap) {
    uint8_t head[kTagHeaderBytes];
    if (!ReadExactly(fd, head, sizeof head, 0)) return false;
    int64_t tag_bytes = LeadingTagBytes(head);
    if (tag_bytes == 0) return false;
    int version = head[3];
    uint8_t flags = head[5];
    // Unsynchronisation of a whole tag before version 4 changes its frames'
    // lengths on disk, and a version 2 tag may be compressed whole; such tags
    // are not searched.
    if (version < 2 || version > 4 || (version < 4 && (flags & 0x80)) ||
        (version == 2 && (flags & 0x40)))
        return false;
    int64_t end = kTagHeaderBytes + Syncsafe(head + 6);
    int64_t at = kTagHeaderBytes;
    if (version >= 3 && (flags & 0x40)) {  // an extended header comes first
        uint8_t size[4];
        if (!ReadExactly(fd, size, 4, at)) return false;
        at += version == 3 ? 4 + static_cast<int64_t>(BigEndian(size, 4)) : Syncsafe(size);
    }
    size_t header_bytes = version == 2 ? 6 : 10;
    for (int frame = 0; frame < kMaxFrames && at + static_cast<int64_t>(header_bytes) <= end;
         ++frame) {
        uint8_t h[10];
        if (!ReadExactly(fd, h, header_bytes, at) || h[0] == 0) return false;  // padding
        uint32_t size = version == 2   ? BigEndian(h + 3, 3)
                        : version == 3 ? BigEndian(h + 4, 4)
                                       : Syncsafe(h + 4);
        int64_t body_at = at + static_cast<int64_t>(header_bytes);
        if (body_at + size > end) return false;
        // Compressed, encrypted or unsynchronised frames are passed over.
        bool plain = version == 2 || (h[9] & (version == 3 ? 0xE0 : 0x4F)) == 0;
        bool comment = std::memcmp(h, version == 2 ? "COM" : "COMM", version == 2 ? 3 : 4) == 0;
        bool text = std::memcmp(h, version == 2 ? "TXX" : "TXXX", version == 2 ? 3 : 4) == 0;
        if (plain && (comment || text) && size <= kMaxCommentBytes) {
            uint8_t body[kMaxCommentBytes];
            if (ReadExactly(fd, body, size, body_at) && ParseComment(body, size, comment, gap))
                return true;
        }
        at = body_at + size;
    }
    return false;
}

EncoderGap ChooseEncoderGap(const VbrTable& table, const EncoderGap& itunes, int64_t stream_samples,
                            const FrameHeader& header) {
    if (header.layer != 3) return {};
    EncoderGap gap;
    if (table.lame.present) {
        gap.delay = table.lame.delay;
        gap.padding = table.lame.padding;
        gap.samples = static_cast<int64_t>(table.frames) * SamplesPerFrame(header);
        stream_samples = gap.samples;
    } else {
        gap = itunes;
    }
    if (gap.samples <= 0 || static_cast<int64_t>(gap.delay) + gap.padding >= stream_samples)
        return {};
    return gap;
}

int64_t PlayedSamples(const EncoderGap& gap) {
    return gap.samples - gap.delay - gap.padding;
}

SampleWindow GaplessWindow(const EncoderGap& gap, int down_sample) {
    SampleWindow window;
    if (gap.samples <= 0) return window;
    window.begin = (gap.delay + int64_t{kDecoderDelay}) >> down_sample;
    window.stated_end = gap.samples >> down_sample;
    // Padding shorter than the decoder's delay leaves nothing to cut at the end.
    window.end =
        std::min(window.stated_end, (gap.samples - gap.padding + kDecoderDelay) >> down_sample);
    return window;
}

int KeptRuns(const SampleWindow& w, int64_t count, SampleRun runs[2]) {
    int n = 0;
    auto keep = [&](int64_t from, int64_t to) {
        from = std::max(from, w.at);
        to = std::min(to, w.at + count);
        if (from < to) runs[n++] = SampleRun{from - w.at, to - from};
    };
    if (w.end < w.stated_end) {
        keep(w.begin, w.end);
        keep(std::max(w.begin, w.stated_end), INT64_MAX);
    } else {
        keep(w.begin, INT64_MAX);
    }
    return n;
}

}  // namespace vek
