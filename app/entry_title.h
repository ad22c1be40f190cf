// The name a track goes by in every list, tip and announcement: the title a
// stream has sent, else (when the user asked for it) the one its tags give,
// else the entry's file title.
#pragma once

#include <QString>

namespace vek {
struct PlaylistEntry;
}

namespace vek::app {

// The editor's line and the tip's name: a station's title (UTF-8, see
// CleanTitle); with ShowTagTitles on, "Artist - Title" where the file's tags
// have a title; else the last path component, or the whole name when nothing
// follows its last '/'.
QString EntryDisplayTitle(const PlaylistEntry& entry);

// The same without the tags: a station's title or the file title.
QString EntryPlainTitle(const PlaylistEntry& entry);

// ShowTagTitles was switched: whatever shows entries shows them anew.
void TagTitlesSwitched();

}  // namespace vek::app
