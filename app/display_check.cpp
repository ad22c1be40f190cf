// vek_display_check: exits 0 when the player's window has a display to open
// on; otherwise prints why in one line and exits 1. scripts/run.sh asks it
// before it starts the player, so that a status 1 of the player (which may also
// mean a running player did not answer) is not taken for a missing display.
#include <cstdio>

#include "app/display_probe.h"

int main() {
    vek::app::DisplayProbe probe = vek::app::ProbeDisplayFromEnvironment();
    if (probe.kind != vek::app::DisplayKind::None) return 0;
    std::printf("%s\n", probe.why.c_str());
    return 1;
}
