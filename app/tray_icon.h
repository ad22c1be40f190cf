// The tray icon: while the main window is minimised to the desktop's status
// area, an icon there shows how far the track has played in tenths and names
// it in its tip. A click opens the mini control bar, a double click brings the
// window back, a right click opens the window's menu. GUI thread only.
#pragma once

#include <QString>
#include <QSystemTrayIcon>

namespace vek::app {

class MainWindow;

// The picture for a percent: percent / 10, held to the eleven pictures.
int TrayIconIndex(int percent);

// "Vek - TITLE - 042%", at most 63 characters: a longer title is cut short
// with an ellipsis. A percent past 100 (a length estimated low) reads 100.
QString TrayTipText(const QString& title, int percent);

// The clicks on the icon. An XEmbed status area reports whole clicks, and a
// double click comes as a click followed by a double click (some report two
// clicks), so a click opens the bar only once the double-click interval has
// passed without a second one. A StatusNotifierItem host asks for the item's
// main action (Activate, its click or double click), which brings the window
// back, and for its second (SecondaryActivate, a middle click), which opens
// the bar.
enum class TrayAction { None, AwaitSecondClick, OpenBar, Restore, OpenMenu };
struct TrayClicks {
    bool status_notifier = false;  // the icon is a StatusNotifierItem
    bool bar_pending = false;
};
TrayAction OnTrayClick(TrayClicks* clicks, QSystemTrayIcon::ActivationReason reason);
TrayAction OnDoubleClickIntervalOver(TrayClicks* clicks);

// Minimising goes to the status area when MinimizeLocation asks for it and
// the desktop has one; otherwise the window stays on the taskbar, where it can
// always be found again.
bool MinimisesToTray(int minimize_location);

// Reads the eleven pictures; called once while the main window is made.
void LoadTrayIcons();
// Shows the icon for the percent and hides the window.
void AddTrayIcon(MainWindow* window, int percent);
// While the icon is shown: the picture and the tip for the percent.
void UpdateTrayIcon(int percent);
// While the icon is shown: removes it (and the bar) and shows the window
// again, unless the window is still minimised, as it is when it closes from
// the tray.
void RemoveTrayIcon(MainWindow* window);
bool IsInTray();

// For the tests, since the offscreen platform has no status area: what says
// whether there is one (nullptr: Qt's answer), and how often a shown XEmbed
// icon checks that its status area is still there (it brings the window back
// when it has gone; a StatusNotifierItem hears of its watcher's going).
void SetStatusAreaCheck(bool (*available)());
void SetStatusAreaWatchInterval(int milliseconds);

}  // namespace vek::app
