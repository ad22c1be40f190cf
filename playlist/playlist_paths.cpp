#include "playlist/playlist_paths.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <vector>

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

// "scheme://": a letter, then letters, digits, '+', '-' or '.'.
bool HasScheme(std::string_view text) {
    size_t end = text.find("://");
    if (end == std::string_view::npos || end == 0 ||
        !std::isalpha(static_cast<unsigned char>(text[0])))
        return false;
    for (char c : text.substr(0, end)) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return true;
}

std::string PercentEncoded(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte > 0x20 && byte < 0x7F) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        }
    }
    return out;
}

// A path beginning with '/' without its "." and ".." segments; ".." never
// climbs above the root.
std::string WithoutDotSegments(std::string_view path) {
    if (path.empty()) return "/";
    std::vector<std::string_view> kept;
    bool ends_in_folder = false;
    for (size_t at = 1;;) {
        size_t slash = path.find('/', at);
        std::string_view segment =
            path.substr(at, slash == std::string_view::npos ? slash : slash - at);
        ends_in_folder = segment == "." || segment == "..";
        if (segment == "..") {
            if (!kept.empty()) kept.pop_back();
        } else if (segment != ".") {
            kept.push_back(segment);
        }
        if (slash == std::string_view::npos) break;
        at = slash + 1;
    }
    std::string folded;
    for (std::string_view segment : kept) {
        folded += '/';
        folded += segment;
    }
    if (ends_in_folder || folded.empty()) folded += '/';
    return folded;
}

// folder (ending in '/') and a relative reference: its path part folded, its
// query or fragment kept as it is.
std::string JoinPath(std::string_view folder, std::string_view reference) {
    size_t tail = reference.find_first_of("?#");
    if (tail == std::string_view::npos) tail = reference.size();
    std::string path(folder);
    path += reference.substr(0, tail);
    return WithoutDotSegments(path) += reference.substr(tail);
}

}  // namespace

std::string ResolveLinkEntry(std::string_view base_url, std::string_view text) {
    static constexpr std::string_view kBlanks = " \t\r\n";
    size_t begin = text.find_first_not_of(kBlanks);
    if (begin == std::string_view::npos) return std::string();
    text = text.substr(begin, text.find_last_not_of(kBlanks) - begin + 1);
    if (HasScheme(text)) return PercentEncoded(text);

    std::string reference(text);
    std::replace(reference.begin(), reference.end(), '\\', '/');
    size_t scheme_end = base_url.find("://");
    if (scheme_end == std::string_view::npos) return PercentEncoded(reference);
    base_url = base_url.substr(0, base_url.find('#'));
    size_t path_at = std::min(base_url.find_first_of("/?", scheme_end + 3), base_url.size());
    std::string_view origin = base_url.substr(0, path_at);
    std::string_view path = base_url.substr(path_at, base_url.find('?', path_at) - path_at);
    std::string resolved;
    if (reference.starts_with("//")) {
        // A host of its own; its path is folded like any other.
        size_t host_end = std::min(reference.find_first_of("/?#", 2), reference.size());
        resolved = std::string(base_url.substr(0, scheme_end + 1)) + reference.substr(0, host_end) +
                   JoinPath("", reference.substr(host_end));
    } else if (reference.starts_with('/')) {
        resolved = std::string(origin) + JoinPath("", reference);
    } else if (reference.starts_with('?') || reference.starts_with('#')) {
        std::string_view kept = reference.starts_with('?') ? path : base_url.substr(path_at);
        resolved = std::string(origin) + std::string(kept.empty() ? "/" : kept) + reference;
    } else {
        std::string_view folder = path.substr(0, path.rfind('/') + 1);
        resolved = std::string(origin) + JoinPath(folder.empty() ? "/" : folder, reference);
    }
    return PercentEncoded(resolved);
}

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
