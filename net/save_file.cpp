#include "net/save_file.h"

#include <fcntl.h>

#include "platform/limits.h"
#include "platform/regular_file.h"

namespace vek {

bool BuildSavePath(const std::string& url, const std::string& dir, std::string* path) {
    size_t slash = url.rfind('/');
    std::string name = slash == std::string::npos ? url : url.substr(slash + 1);
    std::string result = dir;
    if (!result.empty() && result.back() != '/') result += '/';
    result += name;
    if (result.size() >= kPathField) return false;
    *path = std::move(result);
    return true;
}

int CreateSaveFile(const std::string& path) {
    // The name comes from a server: it may not hide a file or step out of the
    // folder (".bashrc", ".."), and it replaces only a plain file, never what a
    // link points to.
    size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || name[0] == '.') return -1;
    // Nor may a FIFO planted there stall the download, and with it playback.
    return OpenRegularFile(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_NOFOLLOW, 0644);
}

}  // namespace vek
