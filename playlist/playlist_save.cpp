#include "playlist/playlist_save.h"

#include <strings.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string_view>

#include "platform/url_name.h"
#include "playlist/playlist.h"
#include "playlist/playlist_paths.h"
#include "settings/ini_file.h"

namespace vek {
namespace {

// The process's umask, read without changing it (umask(2) would change it for
// every thread while it is being read).
mode_t ProcessUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::strtol(line.c_str() + 6, nullptr, 8));
    return 022;
}

// How an entry is written in a list lying in folder. A path below the folder
// is written relative to it when the readers give the same path back: they
// turn '\' into '/' in relative names, skip lines that begin with '#', and the
// .pls reader drops blanks around a value. Anything else is written whole: an
// absolute path or a URL is read back as it stands.
std::string_view WrittenPath(std::string_view path, std::string_view folder) {
    if (IsUrl(path) || folder.empty() || path.size() <= folder.size() + 1 ||
        path.substr(0, folder.size()) != folder || path[folder.size()] != '/')
        return path;
    std::string_view relative = path.substr(folder.size() + 1);
    if (relative.find('\\') != std::string_view::npos || relative.front() == '#' ||
        relative.front() == ' ' || relative.back() == ' ' || relative.front() == '\t' ||
        relative.back() == '\t' || IsUrl(relative))
        return path;
    return relative;
}

// What a list shows for the entry: its file title without the extension.
std::string_view Title(const PlaylistEntry& entry) {
    std::string_view title = EntryFileTitle(entry.path);
    size_t dot = title.rfind('.');
    if (!IsUrl(entry.path) && dot != std::string_view::npos && dot > 0)
        title = title.substr(0, dot);
    return title;
}

bool HasLineBreak(const char* path) {
    return std::strpbrk(path, "\r\n") != nullptr;
}

long Seconds(int32_t length_ms) {
    return (static_cast<long>(length_ms) + 500) / 1000;
}

}  // namespace

PlaylistFormat FormatOfName(const char* name) {
    size_t length = std::strlen(name);
    return length >= 4 && strcasecmp(name + length - 4, ".pls") == 0 ? PlaylistFormat::kPls
                                                                     : PlaylistFormat::kM3u;
}

std::string PlaylistText(const char* name, PlaylistFormat format, int* left_out) {
    // The folder as the readers work it out for this name.
    const std::string folder = PlaylistFolder(name);
    std::string text = format == PlaylistFormat::kPls ? "[playlist]\n" : "#EXTM3U\n";
    *left_out = 0;
    int number = 0;
    for (const PlaylistEntry* entry = gPlaylist.first; entry; entry = entry->next) {
        if (HasLineBreak(entry->path)) {
            ++*left_out;
            continue;
        }
        std::string_view path = WrittenPath(entry->path, folder);
        std::string_view title = Title(*entry);
        bool known = entry->length_ms >= 0;
        if (format == PlaylistFormat::kM3u) {
            if (known) {
                text += "#EXTINF:" + std::to_string(Seconds(entry->length_ms)) + ',';
                text += title;
                text += '\n';
            }
            text += path;
            text += '\n';
        } else {
            std::string n = std::to_string(++number);
            text += "File" + n + '=';
            text += path;
            text += "\nTitle" + n + '=';
            text += title;
            text += "\nLength" + n + '=' + std::to_string(known ? Seconds(entry->length_ms) : -1L) +
                    '\n';
        }
    }
    if (format == PlaylistFormat::kPls)
        text += "NumberOfEntries=" + std::to_string(number) + "\nVersion=2\n";
    return text;
}

bool SavePlaylist(const char* name, PlaylistFormat format, int* left_out) {
    std::string text = PlaylistText(name, format, left_out);
    // A list is made for others to read, as any file the user saves.
    return IniWriteText(name, text, 0666 & ~ProcessUmask());
}

}  // namespace vek
