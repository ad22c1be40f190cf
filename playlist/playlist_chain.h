// What the playlist's own files share about its entries and their chain; not
// for other modules.
#pragma once

#include "playlist/playlist.h"

namespace vek {

// Frees an entry and what it owns.
void FreeEntry(PlaylistEntry* entry);

// Exchanges what two entries hold, all but their place in the chain.
void SwapEntryContent(PlaylistEntry* a, PlaylistEntry* b);

// Where the entry stands in the list; -1 for none or one not in it.
int PositionOf(const PlaylistEntry* entry);

// Puts the entries from position `from` to the end in the place of entry,
// which is freed, and makes the first of them current.
void ReplaceEntryByTail(PlaylistEntry* entry, int from);

// Makes the chain follow gPlaylist.index after entries were reordered or
// taken out of it: links, first and last; the list's version moves on.
void RelinkFromIndex();

}  // namespace vek
