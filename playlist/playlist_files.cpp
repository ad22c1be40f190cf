// Adding names by their ending, and the .pls and .m3u readers, which may name
// each other within the bounds of one load; the same readers put a fetched
// playlist in the place of its link.
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/desktop_hooks.h"
#include "platform/regular_file.h"
#include "platform/url_name.h"
#include "playlist/name_ending.h"
#include "playlist/playlist.h"
#include "playlist/playlist_chain.h"
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
    std::string text = std::string(prefix) + NameForBox(name);
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

// Where a reader hands each entry text as written; false stops the reading.
using TakeEntry = std::function<bool(const char* text)>;

// Editors write UTF-8 lists with a byte order mark; it is not part of a name.
std::string_view WithoutBom(std::string_view text) {
    return text.starts_with("\xEF\xBB\xBF") ? text.substr(3) : text;
}

// The "File<i>" entries of a .pls text in order; false when it has no entry
// count. A missing or empty key adds nothing and does not end the list.
bool ReadPlsEntries(std::string_view text, const TakeEntry& take) {
    IniFile ini;
    IniParse(&ini, WithoutBom(text));
    int32_t count = IniGetInt(ini, "playlist", "NumberOfEntries", -1);
    if (count == -1) return false;
    for (uint32_t number : PresentFileNumbers(ini, count)) {
        std::string key = "File" + std::to_string(number);
        if (!take(IniGetString(ini, "playlist", key, "").c_str())) break;
    }
    return true;
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

// The entry texts of an .m3u, without their line ends, read in pieces of at
// most piece_bytes - 1 characters, each handled as a line of its own.
// "#EXTM3U" and "#EXTINF:..." lines are comments, all their pieces too: a
// title ending in ".mp3" must not become an entry.
void ReadM3uEntries(FILE* file, size_t piece_bytes, const TakeEntry& take) {
    // On the heap: nested readings would otherwise stack one path field each.
    std::unique_ptr<char[]> piece(new char[piece_bytes]);
    bool at_line_start = true;
    bool in_comment = false;
    bool first = true;
    size_t length;
    while ((length = ReadPiece(file, piece.get(), piece_bytes)) > 0) {
        char* text = piece.get();
        if (first && WithoutBom(std::string_view(text, length)).size() < length) text += 3;
        first = false;
        if (at_line_start) in_comment = text[0] == '#';
        at_line_start = piece[length - 1] == '\n';
        if (in_comment) continue;
        size_t end = std::strlen(text);
        while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r')) text[--end] = '\0';
        if (!take(text)) break;
    }
}

// A .pls served under another type still says what it is.
bool LooksLikePls(std::string_view text) {
    text = WithoutBom(text);
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string_view::npos) return false;
    text = text.substr(begin, text.find('\n', begin) - begin);
    while (!text.empty() && (text.back() == '\r' || text.back() == ' ')) text.remove_suffix(1);
    return text.size() == 10 && strncasecmp(text.data(), "[playlist]", 10) == 0;
}

// Whether url is that of a link the entries came from, or of this one.
bool NamesLinkBeingRead(const LinkOrigin& origin, std::string_view base_url, std::string_view url) {
    if (url == base_url) return true;
    for (const LinkOrigin* link = &origin; link; link = link->outer.get()) {
        if (link->url == url) return true;
    }
    return false;
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
    bool read = ReadPlsEntries(text, [&](const char* entry) {
        if (LoadMustStop()) return false;
        AddPlaylistEntry(ResolvePlaylistEntry(folder, entry));
        return true;
    });
    EndReading();
    return read;
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
    // A line longer than a path field is taken in pieces, each handled as a line.
    ReadM3uEntries(file, kPathField, [&](const char* entry) {
        if (LoadMustStop()) return false;
        AddPlaylistEntry(ResolvePlaylistEntry(folder, entry));
        return true;
    });
    EndReading();
    std::fclose(file);
    return true;
}

bool ExpandPlaylistLink(PlaylistEntry* link, const FetchedPlaylist& fetched) {
    const std::string url = link->path;
    int depth = link->origin ? link->origin->depth : 0;
    bool read = fetched.complete && depth < g_max_depth.load();
    auto origin = std::make_shared<const LinkOrigin>(LinkOrigin{url, link->origin, depth + 1});
    const int before = PlaylistCount();
    // Shown once the list is whole again: a box lets other events in meanwhile.
    std::vector<std::pair<bool, std::string>> refusals;  // naming a link being read; too long
    bool named_link = false;
    TakeEntry take = [&](const char* text) {
        if (PlaylistCount() - before >= g_max_entries.load()) return false;
        std::string entry = ResolveLinkEntry(fetched.base_url, text);
        if (entry.empty()) return true;
        bool names_link = NamesLinkBeingRead(*origin, fetched.base_url, entry);
        named_link = named_link || names_link;
        if (!names_link && AppendEntry(entry.c_str())) {
            gPlaylist.last->origin = origin;
        } else {
            refusals.emplace_back(names_link, std::move(entry));
        }
        return true;
    };
    if (read && (fetched.pls || LooksLikePls(fetched.text))) {
        read = ReadPlsEntries(fetched.text, take);
    } else if (read && !fetched.text.empty()) {
        // Lines are taken whole: a piece of a URL would name another place.
        FILE* file = fmemopen(const_cast<char*>(fetched.text.data()), fetched.text.size(), "r");
        if (file) {
            ReadM3uEntries(file, fetched.text.size() + 1, take);
            std::fclose(file);
        }
    }
    bool added = PlaylistCount() > before;
    if (added) ReplaceEntryByTail(link, before);
    for (const auto& [names_link, entry] : refusals) {
        if (names_link)
            ShowError("Error Loading Playlist: ", entry.c_str());
        else
            ComplainAboutName(entry.c_str());
    }
    if ((!read || !added) && !named_link) ShowError("Error Loading Playlist: ", url.c_str());
    return read && added;
}

}  // namespace vek
