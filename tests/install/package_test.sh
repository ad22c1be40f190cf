#!/bin/sh
# The Debian package as a user gets it: cpack builds it from this build folder,
# it is unpacked into a scratch root, ldd finds every library of the installed
# vek and vekplay, the package that owns each library they link is among the
# package's dependencies (so apt brings it), and lintian finds no error.
# Usage: package_test.sh BUILD_DIR
set -u
build=$1
work=$(mktemp -d)
# cpack rewrites the build's install manifest, which `uninstall` reads: it is
# put back as it was.
manifest="$build/install_manifest.txt"
[ -e "$manifest" ] && cp -p "$manifest" "$work/manifest"
restore() {
    if [ -e "$work/manifest" ]; then cp -p "$work/manifest" "$manifest"; else rm -f "$manifest"; fi
    rm -rf "$work"
}
trap restore EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    fail "cpack did not build the package"
    exit 1
fi
deb=$(ls "$work"/out/*.deb)
dpkg-deb -x "$deb" "$work/root"
depends=" $(dpkg-deb -f "$deb" Depends | sed 's/([^)]*)//g; s/[,|]/ /g') "

for program in vek vekplay; do
    path="$work/root/usr/bin/$program"
    [ -x "$path" ] || { fail "$program is not in the package"; continue; }
    ldd "$path" >"$work/ldd" 2>&1 || fail "ldd cannot read $program"
    grep "not found" "$work/ldd" && fail "$program needs a library ldd cannot find"
    for library in $(objdump -p "$path" | awk '$1 == "NEEDED" { print $2 }'); do
        file=$(awk -v l="$library" '$1 == l { print $3 }' "$work/ldd")
        # Debian 12 merges /lib into /usr/lib; dpkg knows a file by either name.
        owner=$(dpkg -S "$file" 2>/dev/null || dpkg -S "${file#/usr}" 2>/dev/null ||
                dpkg -S "/usr$file" 2>/dev/null)
        owner=${owner%%:*}
        case "$depends" in
            *" $owner "*) ;;
            *) fail "$program links $library of package '$owner', which the package does not depend on" ;;
        esac
    done
done

if ! lintian --fail-on error "$deb" >"$work/lintian" 2>&1; then
    cat "$work/lintian"
    fail "lintian found errors"
fi
[ $failed -eq 0 ] && echo "$(basename "$deb"): dependencies complete, libraries found, no lintian error"
exit $failed
