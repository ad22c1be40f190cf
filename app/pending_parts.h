// Pieces of the player's face that land later: the playlist editor and the
// open dialogs. The main window already calls them where they belong; until
// each lands it does nothing and says so here.
#pragma once

#include <cstddef>

class QWidget;

namespace vek::app {

// Playlist editor: never open yet.
bool IsPlaylistEditorOpen();
void ShowPlaylistEditor();
void ClosePlaylistEditor();
void SetEditorRefreshEnabled(bool enabled);

// Open File and Open Location: report that nothing was chosen.
int OpenFilesDialog(QWidget* owner);
int OpenUrlDialog(QWidget* owner, char* buffer, size_t buffer_size);

}  // namespace vek::app
