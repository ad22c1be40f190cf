#include "engine/track_length.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "engine/gapless.h"
#include "engine/stream_reader.h"
#include "engine/vbr_header.h"
#include "platform/regular_file.h"
#include "platform/url_name.h"
#include "settings/settings.h"

namespace vek {
namespace {

constexpr size_t kLookBytes = 65536;
constexpr size_t kFrameRoom = 2048;  // the longest frame the reader takes

int64_t ReadAt(int fd, uint8_t* out, size_t count, int64_t offset) {
    size_t got = 0;
    while (got < count) {
        ssize_t n =
            pread(fd, out + got, count - got, static_cast<off_t>(offset) + static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(got);
}

int32_t Measure(int fd, int64_t file_bytes, bool gapless) {
    uint8_t head[10];
    int64_t audio_start = 0;
    if (ReadAt(fd, head, sizeof head, 0) == sizeof head) audio_start = LeadingTagBytes(head);
    if (audio_start >= file_bytes) return -1;
    EncoderGap itunes;
    if (gapless && audio_start > 0) ReadItunesGap(fd, &itunes);

    std::vector<uint8_t> bytes(kLookBytes + kFrameRoom);
    size_t got = static_cast<size_t>(ReadAt(fd, bytes.data(), bytes.size(), audio_start));
    FrameHeader header;
    uint32_t word = 0;
    for (size_t i = 0; i < got && i < kLookBytes + 3; ++i) {
        word = word << 8 | bytes[i];
        if (i < 3 || !AcceptableFirstHeader(word, &header)) continue;
        if (header.bitrate_index == 0) return -1;  // free format: no length to reckon with
        size_t start = i - 3;
        size_t frame_bytes = 4 + static_cast<size_t>(header.body_length);
        VbrTable table;
        bool info_frame = start + frame_bytes <= got &&
                          ParseVbrHeader(bytes.data() + start, frame_bytes, header, &table);
        int32_t frames =
            info_frame ? table.frames : EstimateFrames(file_bytes - audio_start, header);
        EncoderGap gap;
        if (gapless)
            gap = ChooseEncoderGap(table, itunes,
                                   static_cast<int64_t>(frames) * SamplesPerFrame(header), header);
        return TrackLengthMs(frames, gap, header);
    }
    return -1;
}

}  // namespace

int32_t MeasureTrackMs(const char* path) {
    if (!path || IsUrl(path)) return -1;
    struct stat info;
    int fd = OpenRegularFile(path, O_RDONLY, 0, &info);
    if (fd < 0) return -1;
    int32_t ms = MeasureTrackFd(fd, static_cast<int64_t>(info.st_size));
    close(fd);
    return ms;
}

int32_t MeasureTrackFd(int fd, int64_t file_bytes) {
    return Measure(fd, file_bytes, gSettings.Gapless != 0);
}

}  // namespace vek
