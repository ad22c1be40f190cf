// The player on the desktop's session bus as an MPRIS2 media player, so that
// media keys, the desktop's media controls and tools like playerctl show and
// drive it. What they ask goes through the window's own commands; what they
// are told comes from the player's events. GUI thread only.
#pragma once

#include <QDBusConnection>
#include <QString>

namespace vek::app {

class MainWindow;

// Serves the player on bus and asks for the name org.mpris.MediaPlayer2.vek,
// or org.mpris.MediaPlayer2.vek.instance<pid> when another player holds it.
// The name is asked for without waiting: MprisBusName tells it once the bus
// has given it. False, silently, when the bus is not connected: the player
// goes on without.
bool StartMpris(MainWindow* window, const QDBusConnection& bus);

// Gives the object and the name up; nothing when not started.
void StopMpris();

// The name held on the bus; empty before it is given and when none could be had.
QString MprisBusName();

}  // namespace vek::app
