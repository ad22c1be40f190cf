#!/bin/sh
# Runs a command on a headless Weston desktop of its own: a solid background
# (0x336699), a runtime folder and socket of its own, weston-screenshooter
# allowed, and a session bus of its own. The command sees WAYLAND_DISPLAY and
# no DISPLAY; its standard error
# goes to the file named by WESTON_CLIENT_LOG (with WAYLAND_DEBUG=client, what
# it told the compositor), shown when it fails. Ends with 77 (a skipped test)
# when weston is not installed.
# Usage: tests/support/with-weston.sh COMMAND [ARGUMENT...]
command -v weston >/dev/null || { echo "weston is not installed (scripts/install-deps.sh --test)"; exit 77; }
dir=$(mktemp -d) || exit 1
printf '[shell]\nbackground-color=0xff336699\npanel-position=none\nanimation=none\n' >"$dir/weston.ini"
export XDG_RUNTIME_DIR="$dir" WAYLAND_DISPLAY=wayland-vek
weston --backend=headless-backend.so --use-pixman --debug --idle-time=0 --width=640 --height=480 \
    --socket=$WAYLAND_DISPLAY --config="$dir/weston.ini" --log="$dir/weston.log" &
weston=$!
while [ ! -S "$dir/$WAYLAND_DISPLAY" ] && kill -0 $weston 2>/dev/null; do sleep 0.05; done
# An absolute socket path, so the clients find it whatever runtime folder
# the command gives them.
export WAYLAND_DISPLAY="$dir/$WAYLAND_DISPLAY"
unset DISPLAY
export WESTON_CLIENT_LOG="$dir/client.log"
# A session bus of its own too, for what it offers there.
bus=$(command -v dbus-run-session >/dev/null && echo "dbus-run-session --")
$bus "$@" 2>"$WESTON_CLIENT_LOG"
status=$?
kill $weston && wait $weston
[ $status -eq 0 ] || tail -n 50 "$WESTON_CLIENT_LOG" "$dir/weston.log"
rm -rf "$dir"
exit $status
