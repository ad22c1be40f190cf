#!/bin/sh
# How soon the player's GUI thread answers while the volume column steps down
# and up its whole length and seeks make the ring sweep, measured from outside
# by bench_window_answer. Needs Xvfb and xdotool (apt-get install xvfb xdotool).
#
# Usage: bench/window_answer.sh [VEK [BUILD_DIR [DISPLAY_NUMBER]]]
#   VEK defaults to BUILD_DIR/app/vek; run it once with an older build's vek
#   to compare.
set -eu
build=${2:-build}
vek=${1:-$build/app/vek}
number=${3:-64}
probe=$build/bench/bench_window_answer
work=$(mktemp -d)
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT

Xvfb ":$number" -screen 0 1280x1024x24 -noreset >/dev/null 2>&1 &
xvfb=$!
sleep 1
export DISPLAY=":$number" XDG_RUNTIME_DIR="$work"
chmod 700 "$work"

# Two minutes of audio from the test clip, played through SDL's disk driver.
i=0
while [ $i -lt 40 ]; do cat tests/data/made/mpeg1_l3_cbr128_44k.mp3; i=$((i + 1)); done >"$work/long.mp3"
mkdir "$work/config"
printf '[vek]\nStartupExpanded=1\nEqVolume=7\nWindowX=100\nWindowY=100\n' >"$work/config/vek.ini"
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/device.raw" VEK_CONFIG_DIR="$work/config" \
    "$vek" "$work/long.mp3" >/dev/null 2>&1 &
player=$!
i=0
until xdotool search --name 'Vek 0.90' >/dev/null 2>&1; do
    i=$((i + 1))
    [ $i -lt 40 ] || { echo "the window did not appear"; exit 1; }
    sleep 0.25
done
sleep 1

x=100 y=100
click() { xdotool mousemove $((x + $1)) $((y + $2)) click 1; sleep "$3"; }
"$probe" 9 5 &
answers=$!
sleep 1
click 40 176 0.8   # volume 7 -> 0, one cell per 60 ms
click 40 101 1.2   # volume 0 -> 15
click 215 74 0.5   # seek to 50: the ring sweeps up
click 216 36 0.5   # seek to 0: and back down
click 198 55 0.5   # seek to 75
click 40 176 1.2   # volume 15 -> 0
wait $answers
click 10 10 0      # the close corner
wait $player
