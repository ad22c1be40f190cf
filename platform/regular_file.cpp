#include "platform/regular_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace vek {

int OpenRegularFile(const char* path, int flags, mode_t mode, struct stat* info) {
    int fd = open(path, flags | O_NONBLOCK | O_CLOEXEC, mode);
    if (fd < 0) return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        errno = EINVAL;
        return -1;
    }
    int status = fcntl(fd, F_GETFL);
    if (status < 0 || fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
        close(fd);
        return -1;
    }
    if (info) *info = st;
    return fd;
}

ReadOutcome ReadRegularFile(const char* path, size_t max_bytes, std::string* bytes,
                            struct stat* info) {
    bytes->clear();
    struct stat st;
    int fd = OpenRegularFile(path, O_RDONLY, 0, &st);
    if (fd < 0) return errno == ENOENT ? ReadOutcome::kMissing : ReadOutcome::kRefused;
    if (static_cast<unsigned long long>(st.st_size) > max_bytes) {
        close(fd);
        return ReadOutcome::kRefused;
    }
    bytes->reserve(static_cast<size_t>(st.st_size));
    // The size may change while we read; the limit holds for what is read.
    char buffer[65536];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || bytes->size() + static_cast<size_t>(n) > max_bytes) {
            close(fd);
            bytes->clear();
            return ReadOutcome::kRefused;
        }
        if (n == 0) break;
        bytes->append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    if (info) *info = st;
    return ReadOutcome::kRead;
}

}  // namespace vek
