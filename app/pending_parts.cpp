#include "app/pending_parts.h"

namespace vek::app {

bool IsPlaylistEditorOpen() {
    return false;
}
void ShowPlaylistEditor() {}
void ClosePlaylistEditor() {}
void SetEditorRefreshEnabled(bool) {}

int OpenFilesDialog(QWidget*) {
    return 0;
}
int OpenUrlDialog(QWidget*, char*, size_t) {
    return 0;
}

}  // namespace vek::app
