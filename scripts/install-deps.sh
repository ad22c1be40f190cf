#!/bin/sh
# Installs what Vek needs on Debian 12, asking apt-get only for packages that
# are missing. Safe to run again. Why each package is needed:
# docs/DEVELOPING.md.
#
# Without options: what building and running the player needs.
# --package adds what `cpack -G DEB` needs (dpkg-shlibdeps finds the package's
#   dependencies, and it reads the programs with `file`).
# --test adds the tests' and CI's extras (and --package's, since a test builds
#   the package).
# --bench adds the reference decoders that bench_vekplay compares against, and
#   the display, window manager, tray and peer player bench_quiet runs the
#   window player beside.
set -eu

PACKAGES="g++ cmake ninja-build pkg-config
libmpg123-dev libsdl2-dev libcurl4-openssl-dev libtag1-dev qt6-base-dev qt6-qpa-plugins
qt6-wayland libxcb1-dev"
PACKAGE_TOOLS="dpkg-dev file"
for option in "$@"; do
    case "$option" in
        --package) PACKAGES="$PACKAGES $PACKAGE_TOOLS" ;;
        --test) PACKAGES="$PACKAGES $PACKAGE_TOOLS googletest libgtest-dev libssl-dev
                          mpg123 lame clang libclang-rt-14-dev dbus-daemon
                          desktop-file-utils appstream groff-base xdg-utils shared-mime-info
                          libglib2.0-bin openssl lintian weston" ;;
        --bench) PACKAGES="$PACKAGES mpg123 ffmpeg xvfb openbox trayer xdotool
                           audacious audacious-plugins" ;;
        *) echo "usage: $0 [--package] [--test] [--bench]" >&2; exit 2 ;;
    esac
done

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -n "$missing" ]; then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    echo "Installing:$missing"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
fi
