// What every front-end does with UIM_PLAYLIST_LINK: the playlist a URL named
// takes the place of its entry, and its first entry plays. Main thread only.
#pragma once

#include <cstdint>

namespace vek {

enum class LinkOutcome {
    kIgnored,  // the player has moved on from that entry, or was stopped, meanwhile
    kPlaying,  // the entries are in the list; the first was posted for play
    kFailed,   // nothing to play (the box said why): as when an entry will not open
};

// Takes the message's wparam and lparam as its handler got them.
LinkOutcome HandlePlaylistLink(uintptr_t wparam, intptr_t lparam);

}  // namespace vek
