#!/bin/sh
# Installs what is missing, builds, and starts the player. Extra arguments are
# passed to the player (files, playlists, URLs).
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
if [ -x build/app/vek ]; then
    exec build/app/vek "$@"
fi
exec build/tools/vekplay "$@"
