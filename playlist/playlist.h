// The playlist: an ordered list of local paths and URLs with one current entry
// whenever it is not empty, and the .pls and .m3u readers that fill it. Main
// thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/limits.h"

namespace vek {

struct TrackTags;

// What an entry's length holds until it is known in milliseconds.
inline constexpr int32_t kLengthUnmeasured = -2;  // not looked at yet
inline constexpr int32_t kLengthUnknown = -1;     // a URL, or a file that gives none
inline constexpr int32_t kLengthMeasuring = -3;   // handed to the measuring thread

// The links (playlists fetched from a URL) an entry came from, innermost
// first; shared by the entries of one link. A link that names one of them
// would be fetched round and round.
struct LinkOrigin {
    std::string url;
    std::shared_ptr<const LinkOrigin> outer;  // none for a link the user gave
    int depth = 1;                            // links in the chain
};

struct PlaylistEntry {
    PlaylistEntry* previous = nullptr;
    PlaylistEntry* next = nullptr;
    // Owned, allocated to its length; never longer than kPathField - 1 characters.
    // A 20,000-entry list would otherwise hold 80 MB of mostly empty fields.
    char* path = nullptr;
    // What to show for the entry instead of its path, when known: a stream's
    // title as the station reports it. Owned; null when there is none.
    char* title = nullptr;
    int32_t length_ms = kLengthUnmeasured;  // playing time, measured off the main thread
    // The file's tags, read off the main thread; none until then, nor for a
    // file without tags.
    std::shared_ptr<const TrackTags> tags;
    std::shared_ptr<const LinkOrigin> origin;  // none for an entry no link brought
};

struct Playlist {
    PlaylistEntry* first = nullptr;
    PlaylistEntry* current = nullptr;
    PlaylistEntry* last = nullptr;  // kept so that appends need no walk
    // The entries by position, kept with every change of the chain: counting
    // and finding the entry at a position need no walk, which a window showing
    // a library of 100,000 entries asks for on every repaint.
    std::vector<PlaylistEntry*> index;
    // Set when the current entry was removed (it may still be playing): Next
    // then goes to the entry that stood after it, Previous to the one before
    // it (none at that end), and current stands on one of them meanwhile so
    // that a list that is not empty keeps a current entry.
    bool current_removed = false;
    PlaylistEntry* after_removed = nullptr;
    PlaylistEntry* before_removed = nullptr;
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
// named. False when the file is not a regular file that can be read (a .pls
// also when it is over 16 MB or has no usable entry count), or when it is
// already being read further up the nesting; the caller shows "Error Loading
// Playlist: %s". An entry that does not fit a path field is skipped with an
// "Error Processing File: %s" box.
bool LoadPlsPlaylist(const char* name);
bool LoadM3uPlaylist(const char* name);

// A playlist fetched from a URL, as the download brought it.
struct FetchedPlaylist {
    std::string_view base_url;  // where it came from: relative entries resolve against it
    bool pls = false;           // said to be a .pls (a text beginning "[playlist]" is one anyway)
    bool complete = true;       // false: over the size limit, not read
    std::string_view text;
};

// The link's entries take its place in the list, all as URLs (see
// ResolveLinkEntry), and the first of them becomes current. False, with the
// link left in place, when the link is over the size limit or the nesting
// bound, its .pls has no entry count, or no entry was added: "Error Loading
// Playlist: %s" is then shown with the link's URL, unless an entry naming a
// link being read (the link itself, or one it came from) was refused with that
// box already. An entry that does not fit a path field gets its own box.
bool ExpandPlaylistLink(PlaylistEntry* link, const FetchedPlaylist& fetched);

// Bounds of one load, that is of everything one name given to AddFileByName
// brings in through its playlists: a few small files naming each other could
// otherwise ask for billions of entries. Past either bound the load stops,
// keeps what it added, and "Error Loading Playlist: %s" is shown once with the
// name. Tests may lower them; zero restores the defaults.
inline constexpr int kMaxEntriesPerLoad = 1000000;
inline constexpr int kMaxPlaylistDepth = 16;  // playlists being read at once, or links in a chain
void SetPlaylistLoadBounds(int max_entries, int max_depth);

// While set, a load in progress stops at its next entry and later ones read
// nothing, without a box: the player is being closed. Safe in a signal
// handler and from any thread.
void SetPlaylistLoadingStopped(bool stopped);

// Gives the entry a title to show (an empty or null title removes it). False
// only when memory runs out; the entry then keeps its old title.
bool SetEntryTitle(PlaylistEntry* entry, const char* title);

// Frees every entry, then asks the editor to refresh. Cannot fail: returns true.
bool ClearPlaylist();

bool GetCurrentPath(char* buffer, size_t buffer_size);
bool SelectEntry(int position);
bool SelectNext();
bool SelectPrevious();
bool ShufflePlaylist();

// Number of entries and the entry at a position (nullptr outside the list),
// both without a walk; the position of the entry current stands on (-1 when
// empty).
int PlaylistCount();
PlaylistEntry* EntryAt(int position);
int CurrentPosition();

// Grows with every change of which entries the list holds and in what order
// (not with a change of the current entry or of a title): a view that saw the
// same version shows the same entries. The list's own operations call
// NotePlaylistChanged.
uint64_t PlaylistVersion();
void NotePlaylistChanged();

// The editor's refresh request; does nothing until the editor sets it.
void SetPlaylistRefreshHook(void (*refresh)());
void RefreshPlaylistEditor();

// Told after SelectEntry, SelectNext and SelectPrevious moved the current
// entry, so that a window marking it can follow. None by default.
void SetCurrentEntryHook(void (*changed)());

// Seed of the shuffle generator; by default the time in whole seconds. Tests
// fix it.
void SetShuffleSeedSource(uint32_t (*seed)());

}  // namespace vek
