#!/bin/sh
# Installs what is missing, builds the player and starts it. Only the programs
# are built (vek, vekplay and the display check), not the tests or benchmarks:
# scripts/test.sh builds those. Extra arguments are passed to the player
# (files, playlists, URLs). Without a display to open the window on, they are
# played by vekplay in the terminal.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DVEK_BUILD_TESTS=OFF >/dev/null
cmake --build build --parallel --target vek vekplay vek_display_check
if why=$(build/app/vek_display_check); then
    exec build/app/vek "$@"
fi
echo "run.sh: $why; playing with vekplay in the terminal instead" >&2
exec build/tools/vekplay "$@"
