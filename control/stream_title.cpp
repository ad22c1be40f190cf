#include "control/stream_title.h"

#include <string_view>

#include "net/stream_title.h"
#include "playlist/playlist.h"

namespace vek {

bool HandleStreamTitle(uintptr_t wparam, intptr_t lparam, std::string* title) {
    std::string_view url, text;
    if (!ReadStreamTitle(wparam, lparam, &url, &text)) return false;
    PlaylistEntry* entry = gPlaylist.current;
    // The player may have moved on while the title was on its way.
    if (!entry || url != entry->path) return false;
    std::string wanted(text);
    if (entry->title ? wanted == entry->title : wanted.empty()) return false;
    if (!SetEntryTitle(entry, wanted.c_str())) return false;
    if (title) *title = std::move(wanted);
    return true;
}

}  // namespace vek
