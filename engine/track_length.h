// A file's playing time, looked up without decoding it: for the lists that
// show it. Safe on any thread; it shares nothing with the decoder thread's
// reader.
#pragma once

#include <cstdint>

namespace vek {

// Milliseconds by the reader's own arithmetic: the frame count of an info frame
// (Xing, Info or VBRI) where the file begins with one, else the bytes after a
// leading ID3v2 tag over the first header's frame length, as the progress
// display counts them; with Gapless set, less the encoder's delay and padding
// where the file states them. Only the file's first 64 KB after the tag (and
// the tag's comments) are read. -1 when it gives none: a URL, anything but a
// regular file, no header found, a free-format stream.
int32_t MeasureTrackMs(const char* path);

// The same for a regular file open at fd, of file_bytes bytes, read with
// pread so that the caller may go on reading it for other things.
int32_t MeasureTrackFd(int fd, int64_t file_bytes);

}  // namespace vek
