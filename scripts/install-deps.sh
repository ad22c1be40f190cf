#!/bin/sh
# Installs what Vek needs to build, run and test on Debian 12, asking apt-get
# only for packages that are missing. Safe to run again.
set -eu

PACKAGES="g++ cmake ninja-build pkg-config git
libmpg123-dev libsdl2-dev libcurl4-openssl-dev qt6-base-dev libxcb1-dev
googletest libgtest-dev libssl-dev"
# --test adds the test and CI extras: the reference decoder and the encoder
# (lame makes the variable-bitrate files of the tests), clang and its runtime
# for the fuzzers, a private session bus for the media controls' tests, the
# desktop's validators and groff for the installation's tests, the shared MIME
# database and xdg-utils for the tests of the file-type registration, and
# openssl, which makes the certificates of the https tests. --bench adds the
# reference decoders that bench_vekplay compares against.
for option in "$@"; do
    case "$option" in
        --test) PACKAGES="$PACKAGES mpg123 lame clang libclang-rt-14-dev dbus-daemon
                          desktop-file-utils appstream groff-base xdg-utils shared-mime-info openssl" ;;
        --bench) PACKAGES="$PACKAGES mpg123 ffmpeg" ;;
        *) echo "usage: $0 [--test] [--bench]" >&2; exit 2 ;;
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
