// Opening files whose names come from the user or from the outside world. A
// name may lead to a FIFO (whose open blocks until a writer comes), to a device
// such as /dev/zero (endless bytes) or to a directory; only plain files are
// taken, and the open itself never waits.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <string>

namespace vek {

// open(2) with O_NONBLOCK and O_CLOEXEC added; anything but a regular file is
// closed again and refused with errno EINVAL. The descriptor is returned in
// blocking mode. *info receives the file's status when given. -1 on failure.
int OpenRegularFile(const char* path, int flags, mode_t mode = 0, struct stat* info = nullptr);

enum class ReadOutcome {
    kRead,     // *bytes holds the whole file
    kMissing,  // no file of that name (a dangling link included)
    kRefused,  // there is something, but it could not be read whole: no access,
               // not a regular file, longer than the limit, an I/O error
};

// Reads a whole regular file of at most max_bytes bytes.
ReadOutcome ReadRegularFile(const char* path, size_t max_bytes, std::string* bytes,
                            struct stat* info = nullptr);

}  // namespace vek
