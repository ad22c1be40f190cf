#!/bin/sh
# Installs what is missing, builds, and runs every test.
# Usage: scripts/test.sh [BUILD_DIR] [extra cmake arguments...]
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh --test
dir="${1:-build}"
[ $# -gt 0 ] && shift
scripts/build.sh "$dir" "$@"
# The tests use SDL's disk and dummy drivers; never a real sound card.
ctest --test-dir "$dir" --output-on-failure --timeout 300 -j2
