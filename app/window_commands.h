// The main window's commands, one row each: the identifier, the popup menu's
// entry with its key text and check mark, the keys, the skin's button and the
// mini bar's, and the action. The menu, the keys, the buttons, the mini bar,
// the desktop's media controls, the playlist editor and the hand-over all run
// them through RunCommand.
#pragma once

#include <QKeyCombination>
#include <QPoint>
#include <span>

#include "app/skin/geometry.h"

class QMenu;
class QObject;

namespace vek::app {

class MainWindow;

enum Command : int {
    kCmdOpenFile = 40001,
    kCmdClose = 40003,
    kCmdOpenLocation = 40004,
    kCmdPlaylistEditor = 40006,
    kCmdTagEditor = 40008,
    kCmdPreferences = 40009,
    kCmdPlay = 40010,
    kCmdStop = 40011,
    kCmdPause = 40012,
    kCmdNext = 40013,
    kCmdPrevious = 40014,
    kCmdShuffle = 40015,
    kCmdRepeat = 40016,
    kCmdAbout = 40018,
    kCmdEqualizer = 40033,
    kCmdPlayCurrent = 40102,
    kCmdExpand = 40103,
    kCmdWinShade = 40104,
    kCmdMinimise = 40105,  // the skin's minimise button; no menu entry names it
};

enum class MenuPlace { None, Main, Playback };

struct CommandRow {
    Command id;
    // The popup menu shows the rows in table order; a Playback row goes into
    // the "Playback" submenu, which stands where its first row is.
    MenuPlace menu = MenuPlace::None;
    // A separator comes before the entry (before the submenu, for its first).
    bool separator_before = false;
    const char* text = nullptr;      // the entry's text, before the tab
    const char* key_text = nullptr;  // after the tab: the key as the menu names it
    // The keys that run it from every window of the player. The key text
    // names the first, unless key_text_only: the menu names a key that is
    // not bound.
    QKeyCombination keys[2] = {};
    bool key_text_only = false;
    // The skin's button released over it, and its button on the mini bar.
    geometry::PushControl button = geometry::kPushControlCount;
    const char* bar_text = nullptr;
    bool (*checked)() = nullptr;                // the check mark; null: never one
    void (*run)(MainWindow* window) = nullptr;  // null: the entry is greyed
};

// Every command, for the menu, the keys, the buttons and the tests.
std::span<const CommandRow> CommandTable();

// GUI thread. Runs the command on the main window; nothing for an identifier
// without a row, a greyed entry, or while there is no main window.
void RunCommand(int id);

// The command a push control runs when released over it.
int CommandOfButton(geometry::PushControl control);

// The popup menu, built into the window's menu, and the keys.
void InstallCommands(MainWindow* window);

// The popup menu's entries built into menu (with the keys' texts, or
// without), their check marks set from the present values whenever it is
// about to show; they act while context lives.
void BuildCommandMenu(QMenu* menu, QObject* context, bool key_texts);

// Shows the main window's popup menu at a screen point.
void ShowMainMenu(MainWindow* window, QPoint screen_point);

// GUI thread. Seeks as the ring does: the decoder jumps to percent (0..100)
// of the playing track and the player's listeners hear of it.
void SeekToPercent(int percent);

}  // namespace vek::app
