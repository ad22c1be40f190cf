// The mini control bar: "Prev", "Play", "Pause", "Stop" and "Next" in one row
// of a small frameless tool window (no taskbar button), opened from the tray
// icon near the pointer and closed as soon as it stops being the active
// window. Its buttons run the main window's commands, as the menu does.
// GUI thread only.
#pragma once

#include <QPoint>

class QWidget;

namespace vek::app {

// Opens the bar (or moves the open one) with its top-left corner 80 pixels
// left of and 40 above the pointer, kept on the pointer's screen, and makes it
// the active window. It closes by itself when owner goes. False when it
// cannot be made.
bool ShowMiniBar(QWidget* owner, QPoint pointer);
void CloseMiniBar();
bool IsMiniBarOpen();

}  // namespace vek::app
