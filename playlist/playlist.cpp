// The list itself: appending, navigation, clearing. Nothing here reads files.
#include "playlist/playlist.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "playlist/playlist_chain.h"

namespace vek {

Playlist gPlaylist;

namespace {

void (*g_refresh_hook)() = nullptr;
uint64_t g_version = 0;
void (*g_current_hook)() = nullptr;

// The entry current stands on has changed; true for the callers' result.
bool CurrentMoved() {
    if (g_current_hook) g_current_hook();
    return true;
}

}  // namespace

bool AppendEntry(const char* path) {
    size_t length = std::strlen(path);
    // Refused rather than cut: a shortened path would name another file.
    if (length >= kPathField) return false;

    PlaylistEntry* entry = new (std::nothrow) PlaylistEntry{};
    if (!entry) return false;
    entry->path = static_cast<char*>(std::malloc(length + 1));
    if (!entry->path) {
        delete entry;
        return false;
    }
    std::memcpy(entry->path, path, length + 1);
    try {
        gPlaylist.index.push_back(entry);
    } catch (const std::bad_alloc&) {
        std::free(entry->path);
        delete entry;
        return false;
    }

    if (!gPlaylist.first) {
        gPlaylist.first = entry;
        gPlaylist.current = entry;
    } else {
        entry->previous = gPlaylist.last;
        gPlaylist.last->next = entry;
    }
    gPlaylist.last = entry;
    NotePlaylistChanged();
    // The removed current entry was the last: what follows it now is this one.
    if (gPlaylist.current_removed && !gPlaylist.after_removed) gPlaylist.after_removed = entry;
    return true;
}

void FreeEntry(PlaylistEntry* entry) {
    std::free(entry->path);
    std::free(entry->title);
    delete entry;
}

void SwapEntryContent(PlaylistEntry* a, PlaylistEntry* b) {
    std::swap(a->path, b->path);
    std::swap(a->title, b->title);
    std::swap(a->length_ms, b->length_ms);
    std::swap(a->origin, b->origin);
    std::swap(a->tags, b->tags);
}

void RelinkFromIndex() {
    PlaylistEntry* previous = nullptr;
    for (PlaylistEntry* entry : gPlaylist.index) {
        entry->previous = previous;
        if (previous) previous->next = entry;
        previous = entry;
    }
    if (previous) previous->next = nullptr;
    gPlaylist.first = gPlaylist.index.empty() ? nullptr : gPlaylist.index.front();
    gPlaylist.last = previous;
    NotePlaylistChanged();
}

bool ClearPlaylist() {
    PlaylistEntry* entry = gPlaylist.first;
    while (entry) {
        PlaylistEntry* next = entry->next;
        FreeEntry(entry);
        entry = next;
    }
    gPlaylist = Playlist{};
    NotePlaylistChanged();
    RefreshPlaylistEditor();
    return true;
}

bool SetEntryTitle(PlaylistEntry* entry, const char* title) {
    char* copy = nullptr;
    if (title && *title) {
        copy = strdup(title);
        if (!copy) return false;
    }
    std::free(entry->title);
    entry->title = copy;
    return true;
}

bool GetCurrentPath(char* buffer, size_t buffer_size) {
    if (!gPlaylist.current) return false;
    size_t length = std::strlen(gPlaylist.current->path);
    if (length >= buffer_size) return false;
    std::memcpy(buffer, gPlaylist.current->path, length + 1);
    return true;
}

bool SelectEntry(int position) {
    if (!gPlaylist.first) return false;
    gPlaylist.current_removed = false;
    // Positions come from list boxes and from a second instance; a negative one
    // can only mean "from the start".
    if (position < 0) position = 0;
    // A position beyond the end leaves the last entry current, as a walk from
    // the first entry would end there.
    if (position >= PlaylistCount()) {
        gPlaylist.current = gPlaylist.last;
        CurrentMoved();
        return false;
    }
    gPlaylist.current = gPlaylist.index[static_cast<size_t>(position)];
    return CurrentMoved();
}

namespace {

// Next and previous after the current entry was removed: the neighbours it
// had, if it had one on that side.
bool SelectBesideRemoved(PlaylistEntry* neighbour) {
    if (!neighbour) return false;
    gPlaylist.current = neighbour;
    gPlaylist.current_removed = false;
    return CurrentMoved();
}

}  // namespace

bool SelectNext() {
    if (gPlaylist.current_removed) return SelectBesideRemoved(gPlaylist.after_removed);
    if (!gPlaylist.current || !gPlaylist.current->next) return false;
    gPlaylist.current = gPlaylist.current->next;
    return CurrentMoved();
}

bool SelectPrevious() {
    if (gPlaylist.current_removed) return SelectBesideRemoved(gPlaylist.before_removed);
    if (!gPlaylist.current || !gPlaylist.current->previous) return false;
    gPlaylist.current = gPlaylist.current->previous;
    return CurrentMoved();
}

int PlaylistCount() {
    return static_cast<int>(gPlaylist.index.size());
}

PlaylistEntry* EntryAt(int position) {
    if (position < 0 || position >= PlaylistCount()) return nullptr;
    return gPlaylist.index[static_cast<size_t>(position)];
}

int PositionOf(const PlaylistEntry* entry) {
    if (!entry) return -1;
    auto found = std::find(gPlaylist.index.begin(), gPlaylist.index.end(), entry);
    return found == gPlaylist.index.end() ? -1 : static_cast<int>(found - gPlaylist.index.begin());
}

int CurrentPosition() {
    return PositionOf(gPlaylist.current);
}

uint64_t PlaylistVersion() {
    return g_version;
}

void NotePlaylistChanged() {
    ++g_version;
}

void SetPlaylistRefreshHook(void (*refresh)()) {
    g_refresh_hook = refresh;
}

void RefreshPlaylistEditor() {
    if (g_refresh_hook) g_refresh_hook();
}

void SetCurrentEntryHook(void (*changed)()) {
    g_current_hook = changed;
}

}  // namespace vek
