// The one file-open dialog of the player: the user picks one or more audio
// files or playlists in one folder, and each goes into the playlist by the
// same rules as any added name. GUI thread only.
#pragma once

#include <QStringList>

class QFileDialog;
class QWidget;

namespace vek::app {

// The filter sets the callers ask for; the first pair of a set is selected
// when the dialog opens.
enum OpenFilter : int {
    kFilterAllSupported = 0,  // Open File, Add File(s)...
    kFilterAudio = 1,
    kFilterPlaylists = 2,  // Load List
};

// Runs the dialog modally over owner, opening in PreviousDir, for existing
// files only. Returns the number of names chosen (a name that added nothing,
// such as a .wav picked under "All FileTypes", counts too), or 0 when the user
// cancelled, and nothing has changed then. See AddChosenFiles for the rest.
int OpenFilesDialog(QWidget* owner, bool replace, int filter_set);

// GUI thread, once the window is up: loads, one piece per turn of the event
// loop so that the window keeps answering, what the first opening of a file
// dialog in the process would otherwise load while the user waits: the
// style's icons on its buttons, the icons of folders and of the files it
// lists, the font of its lists. FileDialogPrepared says when that is done.
void PrepareFileDialogInIdleTime();
bool FileDialogPrepared();

// What the player's file dialogs share: Qt's own dialog, whose patterns
// ignore case, sized so that names, sizes and dates show whole.
void PrepareFileDialog(QFileDialog* dialog);

// What a choice does: in replace mode the list is cleared first; PreviousDir
// takes the folder of the names (with a trailing '/' when one file was chosen,
// without when several were); each name goes through AddFileByName in the
// order given, a name that cannot be stored with its "Error Processing File"
// box. files are absolute paths in one folder. Returns their number.
int AddChosenFiles(const QStringList& files, bool replace);

}  // namespace vek::app
