#include "output/buffered_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vek {

bool CreateBufferedFile(BufferedFile* file, const char* path) {
    file->fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    file->fill = 0;
    return file->fd >= 0;
}

bool FlushBufferedFile(BufferedFile* file) {
    size_t done = 0;
    bool ok = true;
    while (done < file->fill) {
        ssize_t n = write(file->fd, file->data + done, file->fill - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<size_t>(n);
    }
    // Whatever did not reach the disk stays, in order, for the next attempt.
    std::memmove(file->data, file->data + done, file->fill - done);
    file->fill -= done;
    return ok;
}

size_t PutBytes(BufferedFile* file, const void* bytes, size_t size) {
    const uint8_t* from = static_cast<const uint8_t*>(bytes);
    size_t stored = 0;
    while (stored < size) {
        if (file->fill == kBufferedFileBytes && !FlushBufferedFile(file)) break;
        size_t count = std::min(size - stored, kBufferedFileBytes - file->fill);
        std::memcpy(file->data + file->fill, from + stored, count);
        file->fill += count;
        stored += count;
    }
    return stored;
}

bool PatchBytesAt(BufferedFile* file, off_t offset, const void* bytes, size_t size) {
    const uint8_t* from = static_cast<const uint8_t*>(bytes);
    size_t done = 0;
    while (done < size) {
        ssize_t n = pwrite(file->fd, from + done, size - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool CloseBufferedFile(BufferedFile* file) {
    int result = close(file->fd);
    file->fd = -1;
    file->fill = 0;
    return result == 0;
}

}  // namespace vek
