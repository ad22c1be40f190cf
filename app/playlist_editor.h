// The playlist editor: a resizable window of its own, without an owner (it
// stays while the main window is minimised or in the tray), that shows the
// playlist by file titles and loads, adds, shuffles and clears it. One
// instance at most; GUI thread only.
#pragma once

#include <QByteArray>
#include <vector>

class QWidget;

namespace vek::app {

// Creates the editor where it was last closed, if there is none, and shows it
// (where windows cannot be placed, with the main window as the one it opens
// beside). False only when it cannot be made.
bool ShowPlaylistEditor(const QWidget* main_window = nullptr);

// Destroys the editor, keeping its place in PlaylistX and PlaylistY unless it
// is minimised.
void ClosePlaylistEditor();

// True when the editor exists and is not hidden.
bool IsPlaylistEditorOpen();

// While off, the playlist's refresh requests leave the editor as it is; a
// drop being read turns it off so that each name does not redraw the list.
// On from the start.
void SetEditorRefreshEnabled(bool enabled);

// Turns refreshing on and refreshes the editor now.
void ShowPlaylistChanges();

// Adds each name (a file, a playlist or a URL; one that cannot be added with
// its error box) with refreshing off; ShowPlaylistChanges ends the quiet.
void AddNamesQuietly(const std::vector<QByteArray>& names);

// The editor's window, for the tests; nullptr while it is closed.
QWidget* PlaylistEditorWindow();

}  // namespace vek::app
