#!/bin/sh
# Installs what is missing, builds everything (the tests and benchmarks too)
# and runs every test.
# Usage: scripts/test.sh [BUILD_DIR] [extra cmake arguments...]
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh --test
dir="${1:-build}"
[ $# -gt 0 ] && shift
# scripts/run.sh leaves the tests out of build/; they are put back here.
scripts/build.sh "$dir" -DVEK_BUILD_TESTS=ON "$@"
# The tests use SDL's disk and dummy drivers; never a real sound card.
ctest --test-dir "$dir" --output-on-failure --timeout 300 -j2
