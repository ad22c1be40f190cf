#include "app/display_probe.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace vek::app {
namespace {

bool IsSet(const char* value) {
    return value && *value;
}

// The X server accepts us only after the connection set-up, with its
// authorisation, has succeeded; that is what Qt's own connection needs too.
bool CanOpenX11(const char* name) {
    xcb_connection_t* connection = xcb_connect(name, nullptr);
    bool ok = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return ok;
}

// A Wayland compositor listens on a local socket; reaching it is all a client
// needs before it speaks the protocol.
bool CanOpenWayland(const char* name, const char* runtime_dir) {
    std::string path;
    if (name[0] == '/')
        path = name;
    else if (IsSet(runtime_dir))
        path = std::string(runtime_dir) + "/" + name;
    else
        return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

bool HasWaylandPlugin(const std::string& plugin_dirs) {
    size_t from = 0;
    while (from <= plugin_dirs.size()) {
        size_t end = std::min(plugin_dirs.find(':', from), plugin_dirs.size());
        std::string dir = plugin_dirs.substr(from, end - from);
        if (!dir.empty() && access((dir + "/platforms/libqwayland-generic.so").c_str(), R_OK) == 0)
            return true;
        from = end + 1;
    }
    return false;
}

}  // namespace

DisplayProbe ProbeDisplay(const char* x11, const char* wayland, const char* runtime_dir,
                          const std::string& plugin_dirs) {
    if (!IsSet(x11) && !IsSet(wayland))
        return {DisplayKind::None, "no display (neither DISPLAY nor WAYLAND_DISPLAY is set)"};
    bool wayland_up = IsSet(wayland) && CanOpenWayland(wayland, runtime_dir);
    bool native = wayland_up && HasWaylandPlugin(plugin_dirs);
    if (native) return {DisplayKind::Wayland, ""};
    if (IsSet(x11) && CanOpenX11(x11)) return {DisplayKind::X11, ""};
    if (wayland_up)
        return {DisplayKind::None, std::string("no display (the Wayland display ") + wayland +
                                       " needs Qt's Wayland platform plugin, package qt6-wayland)"};
    std::string tried;
    if (IsSet(x11)) tried = std::string("the X display ") + x11;
    if (IsSet(wayland))
        tried += (tried.empty() ? "the Wayland display " : " nor the Wayland display ") +
                 std::string(wayland);
    return {DisplayKind::None, "no display (cannot connect to " + tried + ")"};
}

DisplayProbe ProbeDisplayFromEnvironment() {
    if (IsSet(std::getenv("QT_QPA_PLATFORM"))) return {DisplayKind::Chosen, ""};
    const char* user_dirs = std::getenv("QT_PLUGIN_PATH");
    std::string plugin_dirs = std::string(user_dirs ? user_dirs : "") + ":" VEK_QT_PLUGIN_DIR;
    return ProbeDisplay(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"),
                        std::getenv("XDG_RUNTIME_DIR"), plugin_dirs);
}

}  // namespace vek::app
