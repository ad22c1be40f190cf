// A file written through one fixed buffer: bytes collect in memory and go to
// the disk one full buffer per write(2). Decoder thread only.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace vek {

inline constexpr size_t kBufferedFileBytes = 65536;

struct BufferedFile {
    int fd = -1;
    size_t fill = 0;  // bytes in data not yet on disk
    uint8_t data[kBufferedFileBytes];
};

// Creates (or empties) the file for writing. False when it cannot.
bool CreateBufferedFile(BufferedFile* file, const char* path);

// Appends bytes; when the buffer is full it is written out first. Returns the
// bytes stored: fewer than size means writing the full buffer out failed
// (what could not be written stays buffered).
size_t PutBytes(BufferedFile* file, const void* bytes, size_t size);

// Writes out what is buffered. False on failure.
bool FlushBufferedFile(BufferedFile* file);

// Overwrites bytes already on disk at offset, leaving the buffer alone.
bool PatchBytesAt(BufferedFile* file, off_t offset, const void* bytes, size_t size);

// Closes without flushing; false when close reports a failure. The file is
// closed either way.
bool CloseBufferedFile(BufferedFile* file);

}  // namespace vek
