#include "playlist/playlist_paths.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/url_name.h"

namespace vek {
namespace {

std::string CurrentDirectory() {
    char* cwd = getcwd(nullptr, 0);
    if (!cwd) return ".";
    std::string folder = cwd;
    std::free(cwd);
    return folder;
}

}  // namespace

std::string PlaylistFolder(const char* playlist_name) {
    const char* slash = std::strrchr(playlist_name, '/');
    if (!slash) return CurrentDirectory();
    return std::string(playlist_name, static_cast<size_t>(slash - playlist_name));
}

std::string ResolvePlaylistEntry(std::string_view folder, std::string_view text) {
    // A stream URL resolved against the folder would name a file that cannot exist.
    if (text.starts_with('/') || IsUrl(text))
        return std::string(text);
    std::string resolved(folder);
    if (resolved.empty() || resolved.back() != '/') resolved += '/';
    resolved.reserve(resolved.size() + text.size());
    for (char c : text) resolved += c == '\\' ? '/' : c;
    return resolved;
}

std::string_view EntryFileTitle(std::string_view path) {
    size_t slash = path.rfind('/');
    if (slash == std::string_view::npos || slash + 1 == path.size()) return path;
    return path.substr(slash + 1);
}

}  // namespace vek
