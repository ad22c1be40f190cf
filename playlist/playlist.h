// The playlist: an ordered list of local paths and URLs with one current entry
// whenever it is not empty, and the .pls and .m3u readers that fill it. Main
// thread only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/limits.h"

namespace vek {

struct PlaylistEntry {
    PlaylistEntry* previous = nullptr;
    PlaylistEntry* next = nullptr;
    // Owned, allocated to its length; never longer than kPathField - 1 characters.
    // A 20,000-entry list would otherwise hold 80 MB of mostly empty fields.
    char* path = nullptr;
};

struct Playlist {
    PlaylistEntry* first = nullptr;
    PlaylistEntry* current = nullptr;
    PlaylistEntry* last = nullptr;  // kept so that appends need no walk
};

extern Playlist gPlaylist;

// Appends the text exactly as passed. False only when it does not fit a path
// field or memory runs out.
bool AppendEntry(const char* path);

// Audio names (".mp?") are appended, ".pls" and ".m3u" read; any other name adds
// nothing. False only when a name could not be stored.
bool AddFileByName(const char* name);

// A name handed to the player (command line, drop, hand-over, vekplay): a URL
// is appended as it stands, any other name goes by AddFileByName. A name that
// cannot be stored is refused with ComplainAboutName; false then.
bool AddNameOrComplain(const char* name);

// The box for a refused name: "Error Processing File: NAME", caption
// "Error...", owned by the main window.
void ComplainAboutName(const char* name);

// Append the entries of the file, reading nested playlists where they are
// named. False when a .pls has no usable entry count, when a .m3u cannot be
// opened, or when the file is already being read further up the nesting; the
// caller shows "Error Loading Playlist: %s". An entry that does not fit a path
// field is skipped with an "Error Processing File: %s" box.
bool LoadPlsPlaylist(const char* name);
bool LoadM3uPlaylist(const char* name);

// Frees every entry, then asks the editor to refresh. Cannot fail: returns true.
bool ClearPlaylist();

bool GetCurrentPath(char* buffer, size_t buffer_size);
bool SelectEntry(int position);
bool SelectNext();
bool SelectPrevious();
bool ShufflePlaylist();

// Number of entries and the current entry's position (-1 when empty).
int PlaylistCount();
int CurrentPosition();

// The editor's refresh request; does nothing until the editor sets it.
void SetPlaylistRefreshHook(void (*refresh)());
void RefreshPlaylistEditor();

// Seed of the shuffle generator; by default the time in whole seconds. Tests
// fix it.
void SetShuffleSeedSource(uint32_t (*seed)());

}  // namespace vek
