// Arbitrary bytes as a stream's first frame (its header first, the body cut
// or zero-filled to the header's length, as the stream reader hands it over)
// through the info-frame reader. A table it accepts must say something, and
// the places it gives frames must never run backwards, below zero or past
// the stream's end.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/stream_reader.h"
#include "engine/vbr_header.h"

namespace {

// A broken promise names its line.
void Check(bool promise, unsigned line = __builtin_LINE()) {
    if (promise) return;
    std::fprintf(stderr, "promise broken at line %u\n", line);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vek::FrameHeader header;
    if (size < 4 || !vek::AcceptableFirstHeader(
                        uint32_t{data[0]} << 24 | data[1] << 16 | data[2] << 8 | data[3], &header))
        return 0;
    // A free-format header gives no length: the frame is what there is.
    std::vector<uint8_t> frame(header.body_length > 0 ? 4 + header.body_length : size);
    std::memcpy(frame.data(), data, std::min(size, frame.size()));

    vek::VbrTable table;
    table.frames = 7;
    bool found = vek::ParseVbrHeader(frame.data(), frame.size(), header, &table);
    using Kind = vek::VbrTable::Kind;
    Check(found == (table.kind != Kind::kNone));
    if (!found) {
        Check(table.frames == 0 && vek::VbrByteOfFrame(table, 0) == -1);
        return 0;
    }
    Check(table.frames > 0);
    Check(table.lame.delay >= 0 && table.lame.delay <= 4095);
    Check(table.lame.padding >= 0 && table.lame.padding <= 4095);
    Check(table.kind != Kind::kVbri || !table.lame.present);
    int64_t end = table.bytes;  // where no frame may begin beyond
    if (table.kind != Kind::kVbri) {  // Xing or Info
        for (int i = 1; table.has_toc && i < 100; ++i) Check(table.toc[i] >= table.toc[i - 1]);
    } else {
        Check(table.frame_bytes == static_cast<int32_t>(frame.size()));
        Check(table.entries >= 0 && table.entries <= vek::kMaxVbriEntries);
        Check(table.entries == 0 || table.frames_per_entry > 0);
        for (int i = 0; i < table.entries; ++i)
            Check(table.entry_end[i] >= (i > 0 ? table.entry_end[i - 1] : 0));
        if (table.entries > 0) end = table.frame_bytes + table.entry_end[table.entries - 1];
    }
    Check(vek::VbrByteOfFrame(table, -1) == -1);
    // Every frame of a short stream, a few hundred spread over a long one.
    int64_t step = table.frames / 256 + 1;
    int64_t last = vek::VbrByteOfFrame(table, 0);
    for (int64_t n = 0;; n += step) {
        n = std::min<int64_t>(n, table.frames);
        int64_t at = vek::VbrByteOfFrame(table, static_cast<int32_t>(n));
        Check(at == -1 ? last == -1 : at >= last && at >= 0 && at <= end);
        last = at;
        if (n == table.frames) break;
    }
    return 0;
}
