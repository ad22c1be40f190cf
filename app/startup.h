// The player's start: settings, the command line, the hand-over to a player
// that already runs, the main window and the event loop.
#pragma once

namespace vek::app {

// Returns the process's exit code.
int RunPlayer(int argc, char** argv);

}  // namespace vek::app
