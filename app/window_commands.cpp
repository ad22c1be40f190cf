#include "app/window_commands.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QMenu>
#include <QShortcut>
#include <cstring>

#include "app/about.h"
#include "app/main_window.h"
#include "app/open_files_dialog.h"
#include "app/open_url_dialog.h"
#include "app/player_events.h"
#include "app/playlist_editor.h"
#include "app/preferences.h"
#include "control/transport.h"
#include "engine/decoder_thread.h"
#include "engine/equaliser.h"
#include "platform/desktop_hooks.h"
#include "platform/limits.h"
#include "platform/messages.h"
#include "playlist/playlist.h"
#include "settings/settings.h"

namespace vek::app {
namespace {

void Toggle(Relaxed<int32_t>& setting) {
    setting = setting != 0 ? 0 : 1;
}

void OpenFile(MainWindow* window) {
    if (OpenFilesDialog(window, true, kFilterAllSupported) <= 0 || !SelectEntry(0)) return;
    if (gSettings.ShufflePlay != 0) ShufflePlaylist();
    ShowPlaylistChanges();
    char path[kPathField];
    if (GetCurrentPath(path, sizeof path)) {
        Halt();
        PostPlay(path);
    }
}

void OpenLocation(MainWindow* window) {
    char url[kPathField] = {};
    if (OpenUrlDialog(window, url, sizeof url) != 1 || std::strlen(url) < kShortestUrl) return;
    Halt();
    ClearPlaylist();
    if (!AppendEntry(url)) ComplainAboutName(url);
    ShowPlaylistChanges();
    PlayCurrentEntry();
}

// The entries that carry a check mark, and whether each is checked now.
bool IsCheckEntry(int id) {
    return id == kCmdPlaylistEditor || id == kCmdPreferences || id == kCmdEqualizer ||
           id == kCmdShuffle || id == kCmdRepeat;
}
bool IsChecked(int id) {
    switch (id) {
        case kCmdRepeat:
            return gSettings.RepeatPlay == 1;
        case kCmdShuffle:
            return gSettings.ShufflePlay == 1;
        case kCmdPlaylistEditor:
            return IsPlaylistEditorOpen();
        case kCmdPreferences:
            return IsPreferencesOpen();
        case kCmdEqualizer:
            return gSettings.EqEnabled != 0;
        default:
            return false;
    }
}

void MarkMenu(QMenu* menu) {
    for (QAction* action : menu->actions()) {
        if (action->menu()) MarkMenu(action->menu());
        int id = action->data().toInt();
        if (!IsCheckEntry(id)) continue;
        // Only a checked entry is checkable: styles draw an empty box beside
        // an unchecked one, where the menu shows nothing.
        bool checked = IsChecked(id);
        action->setCheckable(checked);
        action->setChecked(checked);
    }
}

}  // namespace

void RunWindowCommand(MainWindow* window, int id) {
    switch (id) {
        case kCmdOpenFile:
            OpenFile(window);
            break;
        case kCmdClose:
            window->close();
            break;
        case kCmdOpenLocation:
            OpenLocation(window);
            break;
        case kCmdPlaylistEditor:
            if (IsPlaylistEditorOpen())
                ClosePlaylistEditor();
            else
                ShowPlaylistEditor();
            break;
        case kCmdPreferences:
            ShowPreferences(window, PreferencesSheetClosed);
            break;
        case kCmdPlay:
            CommandPlay();
            break;
        case kCmdStop:
            CommandStop();
            break;
        case kCmdPause:
            CommandPause();
            break;
        case kCmdNext:
            if (CommandNext()) window->FinishTrackChangeLater();
            break;
        case kCmdPrevious:
            if (CommandPrevious()) window->FinishTrackChangeLater();
            break;
        case kCmdShuffle:
            Toggle(gSettings.ShufflePlay);
            window->RepaintControl(kShuffle);
            break;
        case kCmdRepeat:
            Toggle(gSettings.RepeatPlay);
            window->RepaintControl(kRepeat);
            break;
        case kCmdAbout:
            ShowAbout(window);
            break;
        case kCmdEqualizer:
            Toggle(gSettings.EqEnabled);
            window->RepaintRegion(window->skin().lamp);
            break;
        case kCmdPlayCurrent:
            CommandPlayCurrent();
            break;
        case kCmdExpand:
            window->ToggleExpanded();
            break;
        case kCmdWinShade:
            Toggle(gSettings.WinShade);
            break;
        default:
            break;
    }
}

void SendMainWindowCommand(int id) {
    SendWindowMessage(vek::MainWindow(), WM_COMMAND, static_cast<uintptr_t>(id), 0);
}

void SeekToPercent(int percent) {
    PostSeek(percent, DecoderThreadId());
    NotifyPlayer(PlayerEvent::Seeked, percent);
}

void BuildMainMenu(MainWindow* window, QMenu* menu) {
    auto add = [window](QMenu* to, const char* text, int id) {
        QAction* action = to->addAction(QString::fromLatin1(text));
        action->setData(id);
        QObject::connect(action, &QAction::triggered, window,
                         [window, id] { window->RunCommand(id); });
        return action;
    };
    add(menu, "Open File\tAlt+o", kCmdOpenFile);
    add(menu, "Open Location\tAlt+l", kCmdOpenLocation);
    menu->addSeparator();
    add(menu, "Playlist Editor", kCmdPlaylistEditor);
    add(menu, "Preferences", kCmdPreferences);
    add(menu, "ID3-TAG Editor", kCmdTagEditor)->setEnabled(false);
    add(menu, "Equalizer Active", kCmdEqualizer);
    menu->addSeparator();
    QMenu* playback = menu->addMenu(QStringLiteral("Playback"));
    add(playback, "Previous Track\tCtrl+z", kCmdPrevious);
    add(playback, "Play\tCtrl+x", kCmdPlay);
    add(playback, "Pause\tCtrl+c", kCmdPause);
    add(playback, "Stop\tCtrl+v", kCmdStop);
    add(playback, "Next Track\tCtrl+b", kCmdNext);
    playback->addSeparator();
    add(playback, "Shuffle", kCmdShuffle);
    add(playback, "Repeat", kCmdRepeat);
    menu->addSeparator();
    add(menu, "About...\tCtrl+h", kCmdAbout);
    add(menu, "Close\tAlt+f4", kCmdClose);
}

void ShowMainMenu(MainWindow* window, QPoint screen_point) {
    MarkMenu(window->menu());
    window->menu()->popup(screen_point);
}

void InstallCommandKeys(MainWindow* window) {
    const struct {
        QKeySequence keys;
        int id;
    } table[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_B), kCmdNext},
        {QKeySequence(Qt::ALT | Qt::Key_L), kCmdOpenLocation},
        {QKeySequence(Qt::ALT | Qt::Key_O), kCmdOpenFile},
        {QKeySequence(Qt::CTRL | Qt::Key_V), kCmdStop},
        {QKeySequence(Qt::Key_Escape), kCmdOpenFile},
        {QKeySequence(Qt::CTRL | Qt::Key_X), kCmdPlay},
        {QKeySequence(Qt::CTRL | Qt::Key_Z), kCmdPrevious},
    };
    for (const auto& key : table) {
        auto* shortcut = new QShortcut(key.keys, window);
        // As with the menu's keys of the original design, they work from every
        // window of the player, not only this one.
        shortcut->setContext(Qt::ApplicationShortcut);
        int id = key.id;
        // Not while a dialog or a popup is in front: a popup takes no part in
        // a dialog's modality, so Esc closing a file dialog's completion list
        // would otherwise open a second file dialog over the first.
        QObject::connect(shortcut, &QShortcut::activated, window, [window, id] {
            if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) return;
            window->RunCommand(id);
        });
    }
}

void BuildEqualiserCurveFromSettings() {
    float bands[12];
    for (int i = 0; i < 12; ++i) bands[i] = gSettings.EqBand[i];
    BuildEqualiserCurve(bands);
}

}  // namespace vek::app
