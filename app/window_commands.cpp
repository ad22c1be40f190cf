#include "app/window_commands.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QMenu>
#include <QShortcut>

#include "app/about.h"
#include "app/main_window.h"
#include "app/open_files_dialog.h"
#include "app/open_url_dialog.h"
#include "app/player_events.h"
#include "app/playlist_editor.h"
#include "app/preferences.h"
#include "control/transport.h"
#include "playlist/playlist.h"
#include "settings/settings.h"

namespace vek::app {
namespace {

// Shuffle, Repeat and the equaliser are the options the desktop is told of.
void ToggleOption(Relaxed<int32_t>& setting) {
    setting = setting != 0 ? 0 : 1;
    NotifyPlayer(PlayerEvent::OptionsChanged, 0);
}

void OpenFile(MainWindow* window) {
    if (OpenFilesDialog(window, true, kFilterAllSupported) > 0 && PlayListFromStart())
        ShowPlaylistChanges();
}

void OpenLocation(MainWindow* window) {
    QByteArray url = AskForUrl(window);
    if (url.isEmpty()) return;
    Halt();
    ClearPlaylist();
    if (!AppendEntry(url.constData())) ComplainAboutName(url.constData());
    ShowPlaylistChanges();
    PlayCurrentEntry();
}

void TogglePlaylistEditor(MainWindow* window) {
    if (IsPlaylistEditorOpen())
        ClosePlaylistEditor();
    else
        ShowPlaylistEditor(window);
}

// Next and Previous play their entry once the decoder has had time to stop.
void Next(MainWindow* window) {
    if (CommandNext()) window->FinishTrackChangeLater();
}
void Previous(MainWindow* window) {
    if (CommandPrevious()) window->FinishTrackChangeLater();
}

void Equalizer(MainWindow* window) {
    ToggleOption(gSettings.EqEnabled);
    window->RepaintRegion(window->skin().lamp);
}
void Shuffle(MainWindow* window) {
    ToggleOption(gSettings.ShufflePlay);
    window->RepaintControl(kShuffle);
}
void Repeat(MainWindow* window) {
    ToggleOption(gSettings.RepeatPlay);
    window->RepaintControl(kRepeat);
}

// The menu's order; the rows without an entry last.
// clang-format off
constexpr CommandRow kCommands[] = {
    {.id = kCmdOpenFile, .menu = MenuPlace::Main, .text = "Open File", .key_text = "Alt+o",
     .keys = {Qt::ALT | Qt::Key_O, Qt::Key_Escape}, .button = kOpen, .run = OpenFile},
    {.id = kCmdOpenLocation, .menu = MenuPlace::Main, .text = "Open Location", .key_text = "Alt+l",
     .keys = {Qt::ALT | Qt::Key_L}, .run = OpenLocation},
    {.id = kCmdPlaylistEditor, .menu = MenuPlace::Main, .separator_before = true,
     .text = "Playlist Editor", .checked = IsPlaylistEditorOpen, .run = TogglePlaylistEditor},
    {.id = kCmdPreferences, .menu = MenuPlace::Main, .text = "Preferences",
     .checked = IsPreferencesOpen,
     .run = [](MainWindow* w) { ShowPreferences(w, PreferencesSheetClosed); }},
    {.id = kCmdTagEditor, .menu = MenuPlace::Main, .text = "ID3-TAG Editor"},
    {.id = kCmdEqualizer, .menu = MenuPlace::Main, .text = "Equalizer Active",
     .checked = [] { return gSettings.EqEnabled != 0; }, .run = Equalizer},
    {.id = kCmdPrevious, .menu = MenuPlace::Playback, .separator_before = true,
     .text = "Previous Track", .key_text = "Ctrl+z", .keys = {Qt::CTRL | Qt::Key_Z},
     .button = kPrevious, .bar_text = "Prev", .run = Previous},
    {.id = kCmdPlay, .menu = MenuPlace::Playback, .text = "Play", .key_text = "Ctrl+x",
     .keys = {Qt::CTRL | Qt::Key_X}, .button = kPlay, .bar_text = "Play",
     .run = [](MainWindow*) { CommandPlay(); }},
    {.id = kCmdPause, .menu = MenuPlace::Playback, .text = "Pause", .key_text = "Ctrl+c",
     .key_text_only = true, .button = kPause, .bar_text = "Pause",
     .run = [](MainWindow*) { CommandPause(); }},
    {.id = kCmdStop, .menu = MenuPlace::Playback, .text = "Stop", .key_text = "Ctrl+v",
     .keys = {Qt::CTRL | Qt::Key_V}, .button = kStop, .bar_text = "Stop",
     .run = [](MainWindow*) { CommandStop(); }},
    {.id = kCmdNext, .menu = MenuPlace::Playback, .text = "Next Track", .key_text = "Ctrl+b",
     .keys = {Qt::CTRL | Qt::Key_B}, .button = kNext, .bar_text = "Next", .run = Next},
    {.id = kCmdShuffle, .menu = MenuPlace::Playback, .separator_before = true, .text = "Shuffle",
     .button = kShuffle, .checked = [] { return gSettings.ShufflePlay == 1; }, .run = Shuffle},
    {.id = kCmdRepeat, .menu = MenuPlace::Playback, .text = "Repeat", .button = kRepeat,
     .checked = [] { return gSettings.RepeatPlay == 1; }, .run = Repeat},
    {.id = kCmdAbout, .menu = MenuPlace::Main, .separator_before = true, .text = "About...",
     .key_text = "Ctrl+h", .key_text_only = true, .run = [](MainWindow* w) { ShowAbout(w); }},
    // The window manager's Alt+F4 closes the window the same way.
    {.id = kCmdClose, .menu = MenuPlace::Main, .text = "Close", .key_text = "Alt+f4",
     .key_text_only = true, .button = kClose, .run = [](MainWindow* w) { w->close(); }},
    {.id = kCmdPlayCurrent, .run = [](MainWindow*) { CommandPlayCurrent(); }},
    {.id = kCmdExpand, .button = kExpandTab, .run = [](MainWindow* w) { w->ToggleExpanded(); }},
    // Switched and kept; nothing else depends on it.
    {.id = kCmdWinShade,
     .run = [](MainWindow*) { gSettings.WinShade = gSettings.WinShade != 0 ? 0 : 1; }},
    {.id = kCmdMinimise, .button = kMinimise, .run = [](MainWindow* w) { w->Minimise(); }},
};
// clang-format on

const CommandRow* RowOf(int id) {
    for (const CommandRow& row : kCommands)
        if (row.id == id) return &row;
    return nullptr;
}

void MarkMenu(QMenu* menu) {
    for (QAction* action : menu->actions()) {
        if (action->menu()) MarkMenu(action->menu());
        const CommandRow* row = RowOf(action->data().toInt());
        if (!row || !row->checked) continue;
        // Only a checked entry is checkable: styles draw an empty box beside
        // an unchecked one, where the menu shows nothing.
        bool checked = row->checked();
        action->setCheckable(checked);
        action->setChecked(checked);
    }
}

}  // namespace

std::span<const CommandRow> CommandTable() {
    return kCommands;
}

void RunCommand(int id) {
    const CommandRow* row = RowOf(id);
    MainWindow* window = LiveMainWindow();
    if (row && row->run && window) row->run(window);
}

int CommandOfButton(PushControl control) {
    for (const CommandRow& row : kCommands)
        if (row.button == control) return row.id;
    return 0;
}

void BuildCommandMenu(QMenu* menu, QObject* context, bool key_texts) {
    QObject::connect(menu, &QMenu::aboutToShow, context, [menu] { MarkMenu(menu); });
    QMenu* playback = nullptr;
    for (const CommandRow& row : kCommands) {
        if (row.menu == MenuPlace::None) continue;
        int id = row.id;
        bool opens_submenu = row.menu == MenuPlace::Playback && !playback;
        QMenu* into = row.menu == MenuPlace::Playback && playback ? playback : menu;
        if (row.separator_before) into->addSeparator();
        if (opens_submenu) into = playback = into->addMenu(QStringLiteral("Playback"));
        QString text = QString::fromLatin1(row.text);
        if (row.key_text && key_texts)
            text += QLatin1Char('\t') + QString::fromLatin1(row.key_text);
        QAction* action = into->addAction(text);
        action->setData(id);
        action->setEnabled(row.run != nullptr);
        QObject::connect(action, &QAction::triggered, context, [id] { RunCommand(id); });
    }
}

void InstallCommands(MainWindow* window) {
    BuildCommandMenu(window->menu(), window, true);
    for (const CommandRow& row : kCommands) {
        int id = row.id;
        for (QKeyCombination key : row.keys) {
            if (key == QKeyCombination()) continue;
            auto* shortcut = new QShortcut(QKeySequence(key), window);
            // As with the menu's keys of the original design, they work from
            // every window of the player, not only this one.
            shortcut->setContext(Qt::ApplicationShortcut);
            // Not while a dialog or a popup is in front: a popup takes no part
            // in a dialog's modality, so Esc closing a file dialog's completion
            // list would otherwise open a second file dialog over the first.
            QObject::connect(shortcut, &QShortcut::activated, window, [id] {
                if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) return;
                RunCommand(id);
            });
        }
    }
}

void ShowMainMenu(MainWindow* window, QPoint screen_point) {
    window->menu()->popup(screen_point);
}

void SeekToPercent(int percent) {
    CommandSeek(percent);
    NotifyPlayer(PlayerEvent::Seeked, percent);
}

}  // namespace vek::app
