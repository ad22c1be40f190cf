// Adding names by their ending, and the .pls and .m3u readers, which may name
// each other within the bounds of one load.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/desktop_hooks.h"
#include "platform/regular_file.h"
#include "platform/url_name.h"
#include "playlist/name_ending.h"
#include "playlist/playlist.h"
#include "playlist/playlist_paths.h"
#include "settings/ini_file.h"

namespace vek {
namespace {

constexpr const char* kErrorCaption = "Error...";

struct FileIdentity {
    dev_t device;
    ino_t inode;
};

// The load under way: everything one name given to AddFileByName brings in.
struct Load {
    // The playlists being read right now, outermost first. A playlist that names
    // itself, directly or through others, would otherwise be read until the
    // stack runs out. Files are compared by identity, not by name: "../dir/a.m3u"
    // or a linked folder name the same file with an ever longer name.
    std::vector<FileIdentity> reading;
    int added = 0;      // entries appended by the playlists of this load
    bool over = false;  // a bound was passed: every reading stops
};
Load g_load;

std::atomic<int> g_max_entries{kMaxEntriesPerLoad};
std::atomic<int> g_max_depth{kMaxPlaylistDepth};
std::atomic<bool> g_stopped{false};

// Readers stop at their next entry once a bound was passed or the player closes.
bool LoadMustStop() {
    return g_load.over || g_stopped.load(std::memory_order_relaxed);
}

bool BeginReading(const struct stat& file) {
    for (const FileIdentity& open : g_load.reading) {
        if (open.device == file.st_dev && open.inode == file.st_ino) return false;
    }
    if (static_cast<int>(g_load.reading.size()) >= g_max_depth.load()) {
        g_load.over = true;
        return false;
    }
    g_load.reading.push_back(FileIdentity{file.st_dev, file.st_ino});
    return true;
}

void EndReading() {
    g_load.reading.pop_back();
}

void ShowError(const char* prefix, const char* name) {
    std::string text = std::string(prefix) + name;
    ShowMessageBox(MainWindow(), text.c_str(), kErrorCaption, MB_OK);
}

// Appends an entry that a playlist brought, within the load's bound.
bool AppendFromPlaylist(const char* name) {
    if (g_load.added >= g_max_entries.load()) {
        g_load.over = true;
        return true;
    }
    if (!AppendEntry(name)) return false;
    ++g_load.added;
    return true;
}

// An entry read from a playlist file goes the way of any added name, but a
// URL is a stream whatever its ending ("http://host:8000/" in a station's
// list); when it cannot be stored the reader says so itself, since its caller
// only knows the playlist's name.
void AddPlaylistEntry(const std::string& name) {
    bool added = IsUrl(name) ? AppendFromPlaylist(name.c_str()) : AddFileByName(name.c_str());
    if (!added) ComplainAboutName(name.c_str());
}

// The numbers i in 1..count for which the "File<i>" key exists, in increasing
// order. Asking for every i would take minutes for a count like 2000000000
// written in a small file; the present keys are few and give the same entries.
std::vector<uint32_t> PresentFileNumbers(const IniFile& ini, int32_t count) {
    static constexpr std::string_view kPrefix = "playlist\nfile";
    std::vector<uint32_t> numbers;
    if (count <= 0) return numbers;
    for (const auto& [id, line] : ini.keys) {
        std::string_view digits = std::string_view(id);
        if (!digits.starts_with(kPrefix)) continue;
        digits.remove_prefix(kPrefix.size());
        // "File%d" has no sign and no leading zeros, so "File01" is never asked for.
        if (digits.empty() || digits.size() > 10 || digits.front() == '0') continue;
        uint64_t number = 0;
        bool all_digits = true;
        for (char c : digits) {
            if (c < '0' || c > '9') {
                all_digits = false;
                break;
            }
            number = number * 10 + static_cast<uint64_t>(c - '0');
        }
        if (all_digits && number <= static_cast<uint64_t>(count))
            numbers.push_back(static_cast<uint32_t>(number));
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

// Reads up to capacity - 1 characters, stopping after a line feed. The count
// includes embedded NUL bytes, so the caller knows where the piece really ends.
size_t ReadPiece(FILE* file, char* buffer, size_t capacity) {
    size_t length = 0;
    while (length + 1 < capacity) {
        int c = getc_unlocked(file);
        if (c == EOF) break;
        buffer[length++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    buffer[length] = '\0';
    return length;
}

}  // namespace

bool AddNameOrComplain(const char* name) {
    bool added = IsUrl(name) ? AppendEntry(name) : AddFileByName(name);
    if (!added) ComplainAboutName(name);
    return added;
}

void ComplainAboutName(const char* name) {
    ShowError("Error Processing File: ", name);
}

void SetPlaylistLoadBounds(int max_entries, int max_depth) {
    g_max_entries = max_entries > 0 ? max_entries : kMaxEntriesPerLoad;
    g_max_depth = max_depth > 0 ? max_depth : kMaxPlaylistDepth;
}

void SetPlaylistLoadingStopped(bool stopped) {
    g_stopped.store(stopped, std::memory_order_relaxed);
}

bool AddFileByName(const char* name) {
    NameKind kind = ClassifyName(name);
    bool top = g_load.reading.empty();
    switch (kind) {
        case NameKind::kOther:
            return true;
        case NameKind::kAudio:
            return top ? AppendEntry(name) : AppendFromPlaylist(name);
        case NameKind::kPls:
        case NameKind::kM3u: {
            // Same rule as for entries: a name that does not fit is refused, not cut.
            if (std::strlen(name) >= kPathField) return false;
            if (top) g_load = Load{};
            if (LoadMustStop()) return true;
            bool read = kind == NameKind::kPls ? LoadPlsPlaylist(name) : LoadM3uPlaylist(name);
            bool over = g_load.over;
            if (top) g_load = Load{};
            if (g_stopped.load(std::memory_order_relaxed)) return true;
            // A bound passed deep inside is told once, with the name the user gave.
            if (top ? !read || over : !read && !over) ShowError("Error Loading Playlist: ", name);
            return true;
        }
    }
    return true;
}

bool LoadPlsPlaylist(const char* name) {
    std::string text;
    struct stat file;
    if (ReadRegularFile(name, kIniMaxBytes, &text, &file) != ReadOutcome::kRead) return false;
    if (!BeginReading(file)) return false;

    std::string folder = PlaylistFolder(name);
    IniFile ini;
    IniParse(&ini, text);
    text = std::string();  // the parsed lines hold it now
    int32_t count = IniGetInt(ini, "playlist", "NumberOfEntries", -1);
    if (count == -1) {
        EndReading();
        return false;
    }
    // A missing or empty key adds nothing and does not end the list.
    for (uint32_t number : PresentFileNumbers(ini, count)) {
        if (LoadMustStop()) break;
        std::string key = "File" + std::to_string(number);
        std::string entry = IniGetString(ini, "playlist", key, "");
        AddPlaylistEntry(ResolvePlaylistEntry(folder, entry));
    }
    EndReading();
    return true;
}

bool LoadM3uPlaylist(const char* name) {
    struct stat info;
    int fd = OpenRegularFile(name, O_RDONLY, 0, &info);
    if (fd < 0) return false;
    FILE* file = fdopen(fd, "rb");
    if (!file) {
        close(fd);
        return false;
    }
    if (!BeginReading(info)) {
        std::fclose(file);
        return false;
    }

    std::string folder = PlaylistFolder(name);
    // On the heap: nested readings would otherwise stack one path field each.
    std::unique_ptr<char[]> piece(new char[kPathField]);
    bool at_line_start = true;
    bool in_comment = false;
    size_t length;
    // A line longer than a path field is taken in pieces, each handled as a line.
    while (!LoadMustStop() && (length = ReadPiece(file, piece.get(), kPathField)) > 0) {
        // "#EXTM3U" and "#EXTINF:..." lines are comments, all their pieces too:
        // a title ending in ".mp3" must not become an entry.
        if (at_line_start) in_comment = piece[0] == '#';
        at_line_start = piece[length - 1] == '\n';
        if (in_comment) continue;

        std::string resolved = ResolvePlaylistEntry(folder, piece.get());
        while (!resolved.empty() && (resolved.back() == '\n' || resolved.back() == '\r'))
            resolved.pop_back();
        AddPlaylistEntry(resolved);
    }
    EndReading();
    std::fclose(file);
    return true;
}

}  // namespace vek
