// The desktop services of the core, given by Qt: the GUI thread's message
// queue is pumped from Qt's event loop, and message boxes and the save-file
// chooser appear on the GUI thread, owned by the main window or the dialog in
// front, whichever thread asks.
#pragma once

#include <functional>

class QWidget;

namespace vek::app {

// Call on the GUI thread once the QApplication exists.
void InstallQtDesktop();

// The widget that owns boxes shown for the main window.
void SetMainWidget(QWidget* widget);

// Runs fn on the GUI thread and waits for it; directly when already there.
// The main window answers these through the core's send mechanism, so a GUI
// thread that waits for a worker still serves them.
void RunOnGuiThread(const std::function<void()>& fn);

// The window message the main window handles for RunOnGuiThread.
inline constexpr unsigned kRunOnGuiThread = 0xA100;

}  // namespace vek::app
