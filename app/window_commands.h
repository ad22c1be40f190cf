// The main window's commands: the identifiers that the menu, the keys and the
// skin's buttons share, what each does, the popup menu and the keys.
#pragma once

#include <QPoint>

class QMenu;

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
};

// GUI thread. Does what the command stands for; unknown identifiers do nothing.
void RunWindowCommand(MainWindow* window, int id);

// Any thread: runs the command on the main window as its menu would, and
// returns once it has run; nothing when there is no main window.
void SendMainWindowCommand(int id);

// GUI thread. Seeks as the ring does: the decoder jumps to percent (0..100)
// of the playing track and the player's listeners hear of it.
void SeekToPercent(int percent);

// The popup menu, built once into menu.
void BuildMainMenu(MainWindow* window, QMenu* menu);
// Shows the main window's popup menu at a screen point, its check marks set
// from the present values.
void ShowMainMenu(MainWindow* window, QPoint screen_point);

// The keys of the command table; they work from every window of the player.
void InstallCommandKeys(MainWindow* window);

// Rebuilds the equaliser curve from the EqBand gains.
void BuildEqualiserCurveFromSettings();

}  // namespace vek::app
