// vek_display_check: exits 0 when the player's window has a display to open
// on; otherwise prints why in one line and exits 1. scripts/run.sh asks it
// before it starts the player, since the player itself ends with status 0
// when it has no display.
#include <cstdio>

#include "app/display_probe.h"

int main() {
    vek::app::DisplayProbe probe = vek::app::ProbeDisplayFromEnvironment();
    if (probe.kind != vek::app::DisplayKind::None) return 0;
    std::printf("%s\n", probe.why.c_str());
    return 1;
}
