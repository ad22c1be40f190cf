// The desktop services of the core, given by Qt: the GUI thread's message
// queue is pumped from Qt's event loop, and message boxes and the save-file
// chooser appear on the GUI thread, owned by the main window or the dialog in
// front, whichever thread asks.
#pragma once

#include <QByteArray>
#include <functional>
#include <vector>

class QMimeData;
class QUrl;
class QWidget;

namespace vek::app {

// Call on the GUI thread once the QApplication exists.
void InstallQtDesktop();

// Call on the GUI thread before the QApplication goes: nothing is pumped or run
// on the GUI thread afterwards.
void RemoveQtDesktop();

// The widget that owns boxes shown for the main window.
void SetMainWidget(QWidget* widget);

// Runs fn on the GUI thread and waits for it; directly when already there. The
// request travels as a send to a hidden window of this layer's own, so a GUI
// thread that waits for a worker (answering sends meanwhile) still serves it,
// whether or not the main window exists.
void RunOnGuiThread(const std::function<void()>& fn);

// The name the player takes for a URL: a local file by its file name, any
// other URL as written.
QByteArray NameOfUrl(const QUrl& url);

// The names a drop carries, each as NameOfUrl gives it.
std::vector<QByteArray> DroppedNames(const QMimeData& data);

// Whether windows can learn and choose their places: not under a Wayland
// compositor, which keeps them to itself (and moves windows itself).
bool WindowPositionsKnown();

// Whether the window system cuts a window to its mask (X11's shape). A Wayland
// compositor takes the mask only as the input region: a shaped window is made
// translucent there and paints only inside its outline.
bool WindowMasksCut();

// Whether a window learns that it was minimised and restored: a Wayland
// compositor minimises a window without telling it, and never says it is back.
bool WindowMinimisingTold();

}  // namespace vek::app
