// Shuffling: a fixed 15-bit generator and partner rule, so that a given seed
// always gives the same order. Only what the entries hold moves; the links and
// the current entry's position stay.
#include <ctime>

#include "playlist/playlist.h"
#include "playlist/playlist_chain.h"

namespace vek {
namespace {

uint32_t SecondsNow() {
    return static_cast<uint32_t>(std::time(nullptr));
}

uint32_t (*g_seed_source)() = SecondsNow;

// The classic linear congruential generator; each draw is bits 16..30.
uint32_t g_state = 0;
int Draw() {
    g_state = g_state * 214013u + 2531011u;
    return static_cast<int>((g_state >> 16) & 0x7FFF);
}

}  // namespace

void SetShuffleSeedSource(uint32_t (*seed)()) {
    g_seed_source = seed ? seed : SecondsNow;
}

bool ShufflePlaylist() {
    int count = PlaylistCount();
    if (count < 3) return false;

    // The entry current stands on is the current one from now on.
    gPlaylist.current_removed = false;
    g_state = g_seed_source();
    // The span is 4 * (count - 1), so the last position is never drawn as a
    // partner; it moves only on its own pass.
    const long long span = 4LL * (count - 1);
    for (PlaylistEntry* entry = gPlaylist.first; entry; entry = entry->next) {
        int partner = static_cast<int>((Draw() % span) / 4);
        SwapEntryContent(entry, EntryAt(partner));
    }
    NotePlaylistChanged();
    return true;
}

}  // namespace vek
