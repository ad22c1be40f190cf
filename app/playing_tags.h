// The tags and cover of each track that starts, read off the GUI thread and
// kept with its entry, so that the desktop's media controls, the tray's tip and
// the editor's lines name it also when the editor never looked at the file.
// GUI thread.
#pragma once

namespace vek::app {

// A track has started: its tags are asked for, the reading thread started on
// first use. When they come, the entry takes them and TitleChanged is told.
void ReadPlayingTags();

// Stops the reading thread; nothing when it never started.
void StopReadingPlayingTags();

}  // namespace vek::app
