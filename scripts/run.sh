#!/bin/sh
# Installs what is missing, builds, and starts the player. Extra arguments are
# passed to the player (files, playlists, URLs). Without a display to open the
# window on, they are played by vekplay in the terminal.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
if [ -x build/app/vek ]; then
    if why=$(build/app/vek_display_check); then
        exec build/app/vek "$@"
    fi
    echo "run.sh: $why; playing with vekplay in the terminal instead" >&2
fi
exec build/tools/vekplay "$@"
