#include "engine/stream_reader.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/gapless.h"
#include "engine/vbr_header.h"
#include "net/url_stream.h"
#include "platform/desktop_hooks.h"
#include "platform/limits.h"
#include "platform/url_name.h"

namespace vek {
namespace {

constexpr int kFrameBufferBytes = 2304;
constexpr int kBodyOffset = 512;
// The header sits right before the body so that header and body reach the
// decoding library as one contiguous frame.
constexpr int kHeaderOffset = kBodyOffset - 4;
constexpr int kMaxBodyBytes = kFrameBufferBytes - kBodyOffset;
constexpr int kSearchLimit = 32768;
// Every bit but padding and the low eight bits: what a resync must match.
constexpr uint32_t kResyncMask = 0xFFFFFD00;
constexpr uint32_t kBitrateBits = 0x0000F000;
constexpr int kTagHeaderBytes = 10;
// Input is read a buffer at a time; headers, bodies and the searches take
// their bytes from it.
constexpr size_t kInputBytes = 65536;
// Bytes one search may examine, runs of ones included: junk that never ends
// (a file or stream of 0xFF bytes) ends the search instead of holding the
// decoder thread.
constexpr int64_t kSearchByteLimit = 32 * static_cast<int64_t>(kSearchLimit);
// How many bytes a search examines between two looks for a stop.
constexpr int64_t kPollBytes = 4096;
// How long a read from a pipe waits for data between two looks for a stop.
constexpr int kPipePollMs = 100;

const char kSyncCaption[] = "Synchronization Error...";

struct Reader {
    int fd = -1;
    bool is_url = false;
    bool seekable = false;    // a regular file
    int64_t length = 0;       // file size, 1 for a URL
    int64_t audio_start = 0;  // first byte after a leading ID3v2 tag
    bool tag_checked = false;
    StopCheck stop_check = nullptr;
    bool stopped = false;  // a search gave up because stop_check said so

    // Bytes [next, end) of input have been read but not consumed; input[0]
    // lies at offset base of the stream.
    uint8_t input[kInputBytes] = {};
    size_t next = 0;
    size_t end = 0;
    int64_t base = 0;

    uint8_t window[4] = {};
    uint32_t word = 0;
    uint32_t previous_header = 0;
    uint32_t first_header = 0;
    FrameHeader first_fields;  // the first accepted header, for the arithmetic
    int32_t body_length = 0;   // of the header word last accepted

    uint8_t buffers[2][kFrameBufferBytes] = {};
    int32_t frame_body[2] = {0, 0};
    int current = 0;

    bool vbr_checked = false;  // the first frame has been looked at
    VbrTable vbr;
    int64_t first_frame_start = 0;  // offset of the first frame (the info frame, if any)
    int32_t first_frame_bytes = 0;
    bool info_frame_read = false;  // the frame last read is the info frame
    int64_t frames_read = 0;       // frames delivered since the start, or since a seek's estimate
    bool place_estimated = false;  // frames_read comes from a VBR table's estimate
    EncoderGap itunes;             // an iTunSMPB comment in the leading tag

    char url[kPathField] = {};
};

Reader g_reader;

enum class Step { kInitialSearch, kResyncSearch, kAccept, kBody, kFail };

uint32_t BigEndianWord(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
           static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
}

int64_t Position() {
    return g_reader.base + static_cast<int64_t>(g_reader.next);
}

// A stream's pipe may stay silent for as long as the network does (a stall,
// a reconnect's wait); the thread must still answer a stop meanwhile. True
// when data (or the end) is there; false when a stop is waiting.
bool WaitForPipeData() {
    Reader& r = g_reader;
    if (r.seekable || !r.stop_check) return true;
    for (;;) {
        if (r.stopped) return false;
        pollfd ready{r.fd, POLLIN, 0};
        int n = poll(&ready, 1, kPipePollMs);
        if (n != 0 && !(n < 0 && errno == EINTR)) return true;  // data, end or error: read tells
        if (n == 0 && r.stop_check()) r.stopped = true;
    }
}

// Reads more input behind the unconsumed bytes; false at the end of the input
// or on a read failure. Whatever arrived is taken: a pipe hands over only what
// it has so far.
bool Refill() {
    Reader& r = g_reader;
    if (r.next == r.end) {
        r.base += static_cast<int64_t>(r.end);
        r.next = r.end = 0;
    } else if (r.end == kInputBytes) {
        std::memmove(r.input, r.input + r.next, r.end - r.next);
        r.base += static_cast<int64_t>(r.next);
        r.end -= r.next;
        r.next = 0;
    }
    if (!WaitForPipeData()) return false;
    for (;;) {
        ssize_t n = read(r.fd, r.input + r.end, kInputBytes - r.end);
        if (n > 0) {
            r.end += static_cast<size_t>(n);
            return true;
        }
        if (n < 0 && errno == EINTR) continue;
        return false;
    }
}

// Waits for the full count until the input ends: a pipe hands over only what
// has arrived so far, and that is not the end of the stream.
size_t ReadInput(uint8_t* out, size_t count) {
    Reader& r = g_reader;
    size_t got = 0;
    while (got < count) {
        if (r.next == r.end && !Refill()) break;
        size_t n = std::min(count - got, r.end - r.next);
        std::memcpy(out + got, r.input + r.next, n);
        r.next += n;
        got += n;
    }
    return got;
}

// Makes count bytes available without consuming them; returns how many are.
size_t PeekInput(size_t count) {
    Reader& r = g_reader;
    while (r.end - r.next < count && Refill()) {
    }
    return std::min(count, r.end - r.next);
}

bool ReadByte(uint8_t* byte) {
    Reader& r = g_reader;
    if (r.next == r.end && !Refill()) return false;
    *byte = r.input[r.next++];
    return true;
}

// A position inside the buffer is reached without a system call.
bool SetPosition(int64_t position) {
    Reader& r = g_reader;
    if (!r.seekable || position < 0) return false;
    if (position >= r.base && position <= r.base + static_cast<int64_t>(r.end)) {
        r.next = static_cast<size_t>(position - r.base);
        return true;
    }
    if (lseek(r.fd, static_cast<off_t>(position), SEEK_SET) < 0) return false;
    r.base = position;
    r.next = r.end = 0;
    return true;
}

// Asked by the searches every kPollBytes bytes examined: true when the caller
// wants the search to end (a stop is waiting); the search then fails quietly.
bool SearchStopped(int64_t examined) {
    Reader& r = g_reader;
    if (!r.stopped && r.stop_check && examined % kPollBytes == 0 && r.stop_check())
        r.stopped = true;
    return r.stopped;
}

bool ReadWindow() {
    Reader& r = g_reader;
    if (ReadInput(r.window, 4) < 4) return false;
    r.word = BigEndianWord(r.window);
    return true;
}

bool ShiftIn() {
    Reader& r = g_reader;
    uint8_t byte;
    if (!ReadByte(&byte)) return false;
    r.window[0] = r.window[1];
    r.window[1] = r.window[2];
    r.window[2] = r.window[3];
    r.window[3] = byte;
    r.word = r.word << 8 | byte;
    return true;
}

bool HasSync(uint32_t word) {
    return (word & 0xFFE00000) == 0xFFE00000;
}

// Fills every field that the header word itself carries.
void DecodeWord(uint32_t word, FrameHeader* h) {
    if (word & (1u << 20)) {
        h->lsf = (word & (1u << 19)) ? 0 : 1;
        h->mpeg25 = 0;
    } else {
        h->lsf = 1;
        h->mpeg25 = 1;
    }
    h->layer = 4 - static_cast<int32_t>((word >> 17) & 3);
    h->error_protection = (word & (1u << 16)) ? 0 : 1;
    h->bitrate_index = static_cast<int32_t>((word >> 12) & 15);
    int32_t rate_bits = static_cast<int32_t>((word >> 10) & 3);
    h->sampling_index = h->mpeg25 ? 6 + rate_bits : rate_bits + 3 * h->lsf;
    h->padding = static_cast<int32_t>((word >> 9) & 1);
    h->extension = static_cast<int32_t>((word >> 8) & 1);
    h->mode = static_cast<int32_t>((word >> 6) & 3);
    h->mode_ext = static_cast<int32_t>((word >> 4) & 3);
    h->copyright = static_cast<int32_t>((word >> 3) & 1);
    h->original = static_cast<int32_t>((word >> 2) & 1);
    h->emphasis = static_cast<int32_t>(word & 3);
    h->stereo = h->mode == 3 ? 1 : 2;
}

bool HasReservedFields(uint32_t word) {
    return (word & 0x00060000) == 0 || (word & 0x0000F000) == 0x0000F000 ||
           (word & 0x00000C00) == 0x00000C00;
}

// Body bytes after the 4 header bytes; fields must hold a layer 1..3, a
// bitrate index 0..14 and a rate index that exists.
int32_t BodyLength(const FrameHeader& h) {
    int32_t bitrate = kBitrates[h.lsf][h.layer - 1][h.bitrate_index];
    int32_t rate = kSampleRates[h.sampling_index];
    switch (h.layer) {
        case 1:
            return (bitrate * 12000 / rate + h.padding) * 4 - 4;
        case 2:
            return bitrate * 144000 / rate + h.padding - 4;
        default:
            return bitrate * 144000 / (rate << h.lsf) + h.padding - 4;
    }
}

// The validity test, plus: the body fits its frame buffer.
bool IsValidHeader(uint32_t word) {
    if (!HasSync(word) || HasReservedFields(word)) return false;
    FrameHeader h;
    DecodeWord(word, &h);
    return BodyLength(h) <= kMaxBodyBytes;
}

// Layer II's coded sub-bands, by the allocation table the standard chooses
// from the rate and the bitrate per channel.
int32_t LayerTwoSubbandLimit(const FrameHeader& h) {
    if (h.lsf) return 30;
    int32_t per_channel = kBitrates[0][1][h.bitrate_index] / h.stereo;
    int32_t rate = kSampleRates[h.sampling_index];
    if (per_channel == 0) return 27;
    if (per_channel <= 48) return rate == 32000 ? 12 : 8;
    if (per_channel <= 80) return 27;
    return rate == 48000 ? 27 : 30;
}

void SetBandLimits(FrameHeader* h) {
    if (h->layer == 2) {
        h->sblimit = LayerTwoSubbandLimit(*h);
    } else {
        h->sblimit = 32;
    }
    if (h->mode == 1) {
        h->jsbound = h->mode_ext * 4 + 4;
        if (h->layer == 2 && h->jsbound > h->sblimit) h->jsbound = h->sblimit;
    } else {
        h->jsbound = h->layer == 2 ? h->sblimit : 32;
    }
}

Step InitialSearch() {
    Reader& r = g_reader;
    int counted = 0;
    // Runs of ones are not counted as words, but every byte counts towards
    // the byte limit.
    for (int64_t examined = 1; counted < kSearchLimit && examined <= kSearchByteLimit; ++examined) {
        if (SearchStopped(examined)) return Step::kFail;
        if (!ShiftIn()) break;
        if ((r.word & 0xFFFF0000) == 0xFFFF0000) continue;
        if (IsValidHeader(r.word)) return Step::kAccept;
        ++counted;
    }
    if (r.stopped) return Step::kFail;  // a stop while waiting for input is no sync error
    ShowMessageBox(MainWindow(), "This does not look like a valid MPEG Audio File", kSyncCaption,
                   MB_OK);
    return Step::kFail;
}

bool MatchesMasked(uint32_t word, uint32_t header) {
    return ((word ^ header) & kResyncMask) == 0;
}

Step ResyncSearch() {
    Reader& r = g_reader;
    for (int shifted = 1;; ++shifted) {
        if (SearchStopped(shifted)) return Step::kFail;
        if (!ShiftIn()) return Step::kFail;
        if (r.previous_header == 0) return Step::kInitialSearch;
        if (shifted == kSearchLimit) {
            ShowMessageBox(MainWindow(), "VEK could not locate a VALID sync in the stream.",
                           kSyncCaption, MB_OK);
            return Step::kFail;
        }
        if (MatchesMasked(r.word, r.previous_header) || MatchesMasked(r.word, r.first_header))
            return Step::kAccept;
    }
}

Step Accept(FrameHeader* h) {
    Reader& r = g_reader;
    uint32_t word = r.word;
    if (r.first_header == 0) {
        r.first_header = word;
        DecodeWord(word, &r.first_fields);
    }
    DecodeWord(word, h);
    // A header read directly only needs its sync bits; one whose fields cannot
    // describe a frame here is not trusted, and the search starts over.
    if ((word & 0x0000F000) == 0x0000F000 || (word & 0x00000C00) == 0x00000C00)
        return Step::kInitialSearch;
    if (h->layer <= 3 && BodyLength(*h) > kMaxBodyBytes) return Step::kInitialSearch;
    r.previous_header = word;
    if (h->bitrate_index == 0) {
        int answer = ShowMessageBox(MainWindow(), "Invalid Bitrate in stream, Try Resync?",
                                    "Error In Stream...", MB_YESNO);
        return answer == IDYES ? Step::kInitialSearch : Step::kFail;
    }
    if (h->layer > 3) {
        std::fputs("Sorry, unknown layer type.\n", stderr);
        return Step::kFail;
    }
    SetBandLimits(h);
    r.body_length = BodyLength(*h);
    return Step::kBody;
}

int ReadBody(FrameHeader* h) {
    Reader& r = g_reader;
    r.current ^= 1;
    uint8_t* buffer = r.buffers[r.current];
    std::memcpy(buffer + kHeaderOffset, r.window, 4);
    size_t wanted = static_cast<size_t>(r.body_length);
    size_t got = ReadInput(buffer + kBodyOffset, wanted);
    if (got == 0) {
        r.frame_body[r.current] = 0;
        return 0;
    }
    if (got < wanted) std::memset(buffer + kBodyOffset + got, 0, wanted - got);
    r.frame_body[r.current] = r.body_length;
    h->body_length = r.body_length;
    return 1;
}

bool ParseTagHeader(const uint8_t* bytes, int64_t* tag_bytes) {
    if (std::memcmp(bytes, "ID3", 3) != 0 || bytes[3] == 0xFF || bytes[4] == 0xFF) return false;
    if ((bytes[6] | bytes[7] | bytes[8] | bytes[9]) & 0x80) return false;  // not syncsafe
    int64_t size = static_cast<int64_t>(bytes[6]) << 21 | bytes[7] << 14 | bytes[8] << 7 | bytes[9];
    bool footer = (bytes[5] & 0x10) != 0;
    *tag_bytes = kTagHeaderBytes + size + (footer ? kTagHeaderBytes : 0);
    return true;
}

// A file looks at its start directly; a pipe looks at its first bytes in the
// buffer and consumes them only when they are a tag.
void SkipLeadingTag() {
    Reader& r = g_reader;
    r.tag_checked = true;
    uint8_t head[kTagHeaderBytes];
    int64_t tag_bytes = 0;
    if (r.seekable) {
        ssize_t n = pread(r.fd, head, sizeof head, 0);
        if (n == kTagHeaderBytes && ParseTagHeader(head, &tag_bytes)) {
            r.audio_start = tag_bytes < r.length ? tag_bytes : r.length;
            SetPosition(r.audio_start);
            ReadItunesGap(r.fd, &r.itunes);
        }
        return;
    }
    if (PeekInput(kTagHeaderBytes) < kTagHeaderBytes ||
        !ParseTagHeader(r.input + r.next, &tag_bytes))
        return;
    // A tag can be hundreds of megabytes: a stop is looked for on the way.
    for (int64_t skipped = 0; skipped < tag_bytes;) {
        if (r.next == r.end && (SearchStopped(0) || !Refill())) break;
        size_t n = static_cast<size_t>(std::min<int64_t>(tag_bytes - skipped, r.end - r.next));
        r.next += n;
        skipped += static_cast<int64_t>(n);
    }
    r.audio_start = Position();
}

void ResetState() {
    Reader& r = g_reader;
    r.next = r.end = 0;
    r.base = 0;
    r.audio_start = 0;
    r.tag_checked = false;
    r.stopped = false;
    std::memset(r.window, 0, sizeof r.window);
    r.word = 0;
    r.previous_header = 0;
    r.first_header = 0;
    r.first_fields = FrameHeader{};
    r.body_length = 0;
    std::memset(r.buffers, 0, sizeof r.buffers);
    r.frame_body[0] = r.frame_body[1] = 0;
    r.current = 0;
    r.vbr_checked = false;
    r.vbr = VbrTable{};
    r.first_frame_start = 0;
    r.first_frame_bytes = 0;
    r.info_frame_read = false;
    r.frames_read = 0;
    r.place_estimated = false;
    r.itunes = EncoderGap{};
}

// The first accepted header when there is one.
const FrameHeader& ArithmeticHeader(const FrameHeader& given) {
    return g_reader.first_header != 0 ? g_reader.first_fields : given;
}

// An info frame of a variable-bitrate stream, whose table gives positions and
// whose frames are counted rather than measured in bytes.
bool HasVbrHeader() {
    return g_reader.vbr.kind == VbrTable::Kind::kXing || g_reader.vbr.kind == VbrTable::Kind::kVbri;
}

bool HasInfoFrame() {
    return g_reader.vbr.kind != VbrTable::Kind::kNone;
}

// The first frame of a stream may be an info frame with the stream's length,
// seek table and encoder gap. It holds silence; whether it is decoded is the
// caller's choice (IsInfoFrame).
void LookAtFirstFrame(const FrameHeader& header) {
    Reader& r = g_reader;
    r.vbr_checked = true;
    const uint8_t* frame = nullptr;
    size_t size = 0;
    CurrentFrame(&frame, &size);
    r.first_frame_start = Position() - static_cast<int64_t>(size);
    r.first_frame_bytes = static_cast<int32_t>(size);
    ParseVbrHeader(frame, size, header, &r.vbr);
}

// Where the first audio frame begins: after the info frame, if there is one.
int64_t FirstAudioByte() {
    Reader& r = g_reader;
    return r.first_frame_start + (HasInfoFrame() ? r.first_frame_bytes : 0);
}

// The search after a seek: the first header that matches the first one under
// mask, at most the byte limit from where it starts.
bool FindHeaderForSeek(uint32_t mask) {
    Reader& r = g_reader;
    uint8_t bytes[4];
    if (ReadInput(bytes, 4) != 4) return false;
    uint32_t word = BigEndianWord(bytes);
    for (int64_t examined = 1; ((word ^ r.first_header) & mask) != 0; ++examined) {
        uint8_t byte;
        if (examined > kSearchByteLimit || SearchStopped(examined) || !ReadByte(&byte))
            return false;
        word = word << 8 | byte;
    }
    return true;
}

}  // namespace

int OpenInput(const char* path, StopCheck stop_check) {
    Reader& r = g_reader;
    CloseInput();
    if (!path) return 0;
    if (IsUrl(path)) {
        size_t length = std::strlen(path);
        if (length >= sizeof r.url) return 0;
        std::memcpy(r.url, path, length + 1);
        int fd = OpenUrlStream(r.url);
        if (fd == kUrlIsPlaylistLink) return kInputIsPlaylistLink;
        if (fd < 0) return 0;
        r.fd = fd;
        r.is_url = true;
        r.seekable = false;
        r.length = 1;
    } else {
        // Opened without waiting: a named pipe nobody writes to would block a
        // plain open for ever (it now reads as empty). Devices, sockets and
        // folders are not played.
        int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) return 0;
        struct stat st;
        if (fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISFIFO(st.st_mode))) {
            close(fd);
            return 0;
        }
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        r.fd = fd;
        r.is_url = false;
        r.seekable = S_ISREG(st.st_mode);
        r.length = r.seekable ? static_cast<int64_t>(st.st_size) : 0;
        if (r.seekable) posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    r.stop_check = stop_check;
    ResetState();
    // A file is looked at now; a pipe waits for its first read so that opening
    // never blocks on the network.
    if (r.seekable) SkipLeadingTag();
    return 1;
}

void CloseInput() {
    Reader& r = g_reader;
    if (r.fd < 0) return;
    close(r.fd);
    r.fd = -1;
    r.stop_check = nullptr;
    if (r.is_url) {
        r.is_url = false;
        CloseUrlStream();
    }
}

namespace {

// The download judges a connection by the audio it brought at this rate.
void NoteStreamBitrate(const FrameHeader& header) {
    double seconds = SecondsPerFrame(header);
    if (seconds > 0.0)
        NoteUrlStreamBitrate(static_cast<int>(BytesPerFrame(header) / seconds / 125.0));
}

}  // namespace

int ReadFrame(FrameHeader* header) {
    Reader& r = g_reader;
    if (r.fd < 0 || !header) return 0;
    if (!r.tag_checked) SkipLeadingTag();
    if (r.stopped || !ReadWindow()) return 0;
    int result = 0;
    if (r.word == r.previous_header && r.previous_header != 0) {
        header->header_change = 0;
        result = ReadBody(header);
    } else {
        header->header_change = 1;
        Step step = Step::kAccept;
        if (r.first_header == 0 && !IsValidHeader(r.word)) {
            step = Step::kInitialSearch;
        } else if (!HasSync(r.word)) {
            step = Step::kResyncSearch;
        }
        while (step != Step::kBody && step != Step::kFail) {
            switch (step) {
                case Step::kInitialSearch:
                    step = InitialSearch();
                    break;
                case Step::kResyncSearch:
                    step = ResyncSearch();
                    break;
                default:
                    step = Accept(header);
                    break;
            }
        }
        if (step == Step::kBody) result = ReadBody(header);
    }
    if (result) {
        ++r.frames_read;
        if (!r.vbr_checked) LookAtFirstFrame(*header);
        if (r.is_url && r.frames_read == 1) NoteStreamBitrate(*header);
        const uint8_t* frame = nullptr;
        size_t size = 0;
        CurrentFrame(&frame, &size);
        r.info_frame_read =
            HasInfoFrame() && Position() - static_cast<int64_t>(size) == r.first_frame_start;
    }
    return result;
}

void ForgetHeaders() {
    g_reader.previous_header = 0;
    g_reader.first_header = 0;
}

bool AcceptableFirstHeader(uint32_t word, FrameHeader* header) {
    // Runs of ones are what the first search passes over.
    if ((word & 0xFFFF0000) == 0xFFFF0000 || !IsValidHeader(word)) return false;
    DecodeWord(word, header);
    header->body_length = BodyLength(*header);
    return true;
}

int64_t LeadingTagBytes(const uint8_t* ten_bytes) {
    int64_t tag_bytes = 0;
    return ParseTagHeader(ten_bytes, &tag_bytes) ? tag_bytes : 0;
}

void CurrentFrame(const uint8_t** data, size_t* size) {
    Reader& r = g_reader;
    int32_t body = r.frame_body[r.current];
    *data = r.buffers[r.current] + kHeaderOffset;
    *size = body > 0 ? static_cast<size_t>(4 + body) : 0;
}

double BytesPerFrame(const FrameHeader& h) {
    if (h.layer < 1 || h.layer > 3 || h.bitrate_index < 0 || h.bitrate_index > 14 ||
        h.sampling_index < 0 || h.sampling_index > 8 || h.lsf < 0 || h.lsf > 1)
        return 1.0;
    double bitrate = kBitrates[h.lsf][h.layer - 1][h.bitrate_index];
    double rate = static_cast<double>(kSampleRates[h.sampling_index] << h.lsf);
    return bitrate * (h.layer == 1 ? 48000.0 : 144000.0) / rate;
}

int32_t SamplesPerFrame(const FrameHeader& h) {
    static constexpr int32_t kSamples[4] = {0, 384, 1152, 1152};
    if (h.layer < 0 || h.layer > 3 || h.lsf < 0 || h.lsf > 1) return 0;
    // Layer III of MPEG-2 and 2.5 halves the frame; the other layers keep theirs
    // (SecondsPerFrame keeps the reader's own arithmetic, which halves them all).
    return h.layer == 3 ? kSamples[3] >> h.lsf : kSamples[h.layer];
}

double SecondsPerFrame(const FrameHeader& h) {
    static constexpr double kSamples[4] = {0, 384, 1152, 1152};
    if (h.layer < 0 || h.layer > 3 || h.sampling_index < 0 || h.sampling_index > 8 || h.lsf < 0 ||
        h.lsf > 1)
        return 0.0;
    return kSamples[h.layer] / static_cast<double>(kSampleRates[h.sampling_index] << h.lsf);
}

int32_t EstimateFrames(int64_t audio_bytes, const FrameHeader& first) {
    double per_frame = BytesPerFrame(first);
    // A free-format first header has no bitrate: no estimate rather than a
    // division by zero.
    if (per_frame <= 0.0) return 0;
    double frames = static_cast<double>(audio_bytes) / per_frame;
    if (frames <= 0.0) return 0;
    if (frames >= static_cast<double>(INT32_MAX)) return INT32_MAX;
    return static_cast<int32_t>(frames);
}

int32_t FramesToMs(int32_t frames, const FrameHeader& header) {
    double ms = frames * SecondsPerFrame(header) * 1000.0;
    return ms < static_cast<double>(INT32_MAX) ? static_cast<int32_t>(ms) : INT32_MAX;
}

int32_t TrackLengthMs(int32_t frames, const EncoderGap& gap, const FrameHeader& header) {
    if (gap.samples <= 0) return FramesToMs(frames, header);
    int32_t rate = kSampleRates[std::clamp(header.sampling_index, 0, 8)];
    double ms = static_cast<double>(PlayedSamples(gap)) * 1000.0 / rate;
    return ms < static_cast<double>(INT32_MAX) ? static_cast<int32_t>(ms) : INT32_MAX;
}

int32_t TotalFrames(const FrameHeader& header) {
    Reader& r = g_reader;
    if (r.is_url) return 0;
    if (HasInfoFrame()) return r.vbr.frames;
    return EstimateFrames(r.length - r.audio_start, ArithmeticHeader(header));
}

bool FrameCountIsExact() {
    return !g_reader.is_url && HasInfoFrame();
}

EncoderGap StreamEncoderGap(const FrameHeader& header) {
    Reader& r = g_reader;
    const FrameHeader& h = ArithmeticHeader(header);
    int64_t samples = static_cast<int64_t>(TotalFrames(h)) * SamplesPerFrame(h);
    return ChooseEncoderGap(r.vbr, r.itunes, samples, h);
}

LameTag StreamLameTag() { return g_reader.vbr.lame; }

bool IsInfoFrame() {
    return g_reader.info_frame_read;
}

int64_t CurrentAudioFrame() {
    return g_reader.frames_read - 1 - (HasInfoFrame() ? 1 : 0);
}

bool FramePlaceIsExact() {
    return !g_reader.place_estimated;
}

int32_t ElapsedSeconds(const FrameHeader& header) {
    Reader& r = g_reader;
    if (r.is_url) return 0;
    const FrameHeader& h = ArithmeticHeader(header);
    double frames = 0.0;
    if (HasVbrHeader()) {
        // Frames of a variable bitrate differ in length: count them, not
        // bytes. The info frame is no audio frame.
        frames = static_cast<double>(r.frames_read - 1);
    } else {
        double per_frame = BytesPerFrame(h);
        if (per_frame <= 0.0) return 0;
        frames = static_cast<double>(Position() - r.audio_start) / per_frame;
    }
    if (frames <= 0.0) return 0;
    double seconds = static_cast<double>(static_cast<int64_t>(frames)) * SecondsPerFrame(h);
    if (seconds >= static_cast<double>(INT32_MAX)) return INT32_MAX;
    return static_cast<int32_t>(seconds);
}

int SeekFrame(FrameHeader* header, int32_t n) {
    Reader& r = g_reader;
    if (r.fd < 0 || r.is_url || !r.seekable || !header || n < 0 || r.first_header == 0) return 0;
    int64_t target = 0;
    uint32_t mask = kResyncMask;
    if (HasVbrHeader()) {
        // The table says where frame n begins; the search then looks for any
        // frame of the stream, whatever its bitrate.
        if (n >= r.vbr.frames) return 0;
        int64_t offset = VbrByteOfFrame(r.vbr, n);
        if (offset < 0) return 0;
        target = r.first_frame_start + offset;
        mask = kResyncMask & ~kBitrateBits;
    } else {
        // A few bytes past frame n's average position, so that the search
        // finds the header of a frame at or after n. A constant, not 8 bytes
        // per frame: that lands later the further the seek (5.7 s at the middle
        // of ten minutes at 64 kbit/s).
        double offset = BytesPerFrame(r.first_fields) * n + 8.0;
        if (offset >= static_cast<double>(r.length - r.audio_start)) return 0;
        target = r.audio_start + static_cast<int64_t>(offset);
    }
    if (target >= r.length) return 0;
    int64_t resume = Position();
    if (!SetPosition(target)) return 0;
    // A failed seek leaves play where it was.
    if (!FindHeaderForSeek(mask)) {
        SetPosition(resume);
        return 0;
    }
    SetPosition(Position() - 4);
    // With a table the frame found counts as frame n; a constant bitrate tells
    // its number by its place. The info frame is frame 0 of the reads.
    int64_t found = n;
    double per_frame = BytesPerFrame(r.first_fields);
    if (!HasVbrHeader() && per_frame > 0.0)
        found = std::max<int64_t>(
            0, std::llround(static_cast<double>(Position() - FirstAudioByte()) / per_frame));
    r.vbr_checked = true;
    r.frames_read = found + (HasInfoFrame() ? 1 : 0);
    r.place_estimated = HasVbrHeader();
    ReadFrame(header);
    ReadFrame(header);
    std::memset(r.buffers, 0, sizeof r.buffers);
    r.frame_body[0] = r.frame_body[1] = 0;
    return 1;
}

int RestartAtFirstFrame() {
    Reader& r = g_reader;
    if (r.fd < 0 || !r.seekable || !r.vbr_checked || !SetPosition(r.first_frame_start)) return 0;
    r.frames_read = 0;
    r.place_estimated = false;
    std::memset(r.buffers, 0, sizeof r.buffers);
    r.frame_body[0] = r.frame_body[1] = 0;
    return 1;
}

}  // namespace vek
