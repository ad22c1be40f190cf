// Whether the window has a display to open on, asked before the toolkit is
// started: Qt ends the process when its platform cannot connect, so a start
// without a desktop is caught here and can say so in one line.
#pragma once

#include <string>

namespace vek::app {

enum class DisplayKind {
    None,     // no display can be opened
    X11,
    Wayland,
    Chosen,   // QT_QPA_PLATFORM names the platform; it is taken as it is
};

struct DisplayProbe {
    DisplayKind kind = DisplayKind::None;
    std::string why;  // for None: what is missing, e.g. "no display (neither ... is set)"
};

// Tries the Wayland display named by wayland (WAYLAND_DISPLAY, a socket name
// under runtime_dir or an absolute path), then the X display named by x11 (the
// DISPLAY value). Null or empty values count as unset. A Wayland desktop is
// taken natively when Qt's Wayland platform plugin is in one of plugin_dirs
// (a colon-separated list); without it, its XWayland display is taken.
DisplayProbe ProbeDisplay(const char* x11, const char* wayland, const char* runtime_dir,
                          const std::string& plugin_dirs);

// Chosen when QT_QPA_PLATFORM is set (the tests' offscreen platform needs no
// display), else ProbeDisplay with this process's environment and Qt's plugin
// folders (QT_PLUGIN_PATH, then Qt's own).
DisplayProbe ProbeDisplayFromEnvironment();

}  // namespace vek::app
