#include "app/handover_receipt.h"

#include <cstring>
#include <string>
#include <vector>

#include "app/playlist_editor.h"
#include "app/window_commands.h"
#include "control/transport.h"
#include "platform/desktop_hooks.h"
#include "platform/limits.h"
#include "platform/messages.h"
#include "playlist/playlist.h"

namespace vek::app {
namespace {

constexpr size_t kMaxKeptFailures = 1000;
constexpr size_t kMaxLinesPerBox = 20;

// What failed during the hand-over under way (GUI thread only).
std::vector<KeptMessageBox> g_failures;

intptr_t Receive(const CopyData& record) {
    SetEditorRefreshEnabled(true);
    char name[kPathField] = {};
    bool has_name = record.kind == CDS_ADD || record.kind == CDS_REPLACE_PLAY;
    if (has_name) {
        if (record.size >= kPathField) {
            // Too long for a path field: refused rather than cut. The box
            // shows only its beginning.
            std::string shown(record.data, kPathField);
            ComplainAboutName(shown.c_str());
            return 1;
        }
        if (record.size > 0) std::memcpy(name, record.data, record.size);
    }
    switch (record.kind) {
        case CDS_CLEAR:
            Halt();
            ClearPlaylist();
            RefreshPlaylistEditor();
            break;
        case CDS_ADD:
            AddNameOrComplain(name);
            RefreshPlaylistEditor();
            break;
        case CDS_REPLACE_PLAY:
            Halt();
            ClearPlaylist();
            AddNameOrComplain(name);
            PlayCurrentEntry();
            RefreshPlaylistEditor();
            break;
        case CDS_PLAY_ENTRY:
            SelectEntry(static_cast<int>(record.size));
            RunCommand(kCmdPlayCurrent);
            break;
        case CDS_PLAY_FIRST:
            SelectEntry(0);
            RunCommand(kCmdPlayCurrent);
            break;
        default:
            break;
    }
    return 1;
}

}  // namespace

intptr_t ReceiveHandOverRecord(const CopyData& record) {
    CollectMessageBoxes(&g_failures);
    intptr_t result = Receive(record);
    CollectMessageBoxes(nullptr);
    // A start sending endless bad names may not fill the memory with them.
    if (g_failures.size() > kMaxKeptFailures) g_failures.resize(kMaxKeptFailures);
    return result;
}

void PlayNameAlone(const char* name) {
    ReceiveHandOverRecord({CDS_REPLACE_PLAY, static_cast<uint32_t>(std::strlen(name)), name});
    PostWindowMessage(vek::MainWindow(), UIM_HANDOVER_ENDED, 0, 0);
}

void ShowHandOverFailures(Window* main_window) {
    std::vector<KeptMessageBox> failures = std::move(g_failures);
    g_failures.clear();
    std::vector<bool> shown(failures.size(), false);
    for (size_t i = 0; i < failures.size(); ++i) {
        if (shown[i]) continue;
        std::string text;
        size_t lines = 0, more = 0;
        for (size_t j = i; j < failures.size(); ++j) {
            if (shown[j] || failures[j].caption != failures[i].caption) continue;
            shown[j] = true;
            if (lines++ < kMaxLinesPerBox)
                text += (text.empty() ? "" : "\n") + failures[j].text;
            else
                ++more;
        }
        if (more > 0) text += "\n... and " + std::to_string(more) + " more";
        ShowMessageBox(main_window, text.c_str(), failures[i].caption.c_str(), failures[i].style);
    }
}

}  // namespace vek::app
