// The name a track goes by in every list, tip and announcement: the title a
// stream has sent, else the entry's file title.
#pragma once

#include <QString>

namespace vek {
struct PlaylistEntry;
}

namespace vek::app {

// A station's title (UTF-8, see CleanTitle); else the
// last path component, or the whole name when nothing follows its last '/'.
QString EntryDisplayTitle(const PlaylistEntry& entry);

}  // namespace vek::app
