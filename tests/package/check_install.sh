#!/usr/bin/env bash
# Installs the build into a fresh prefix and builds the Debian package, then checks that
# both hold the window and its compressor side by side, with nothing named dictzip in
# bin/, and that the installed program really starts the compressor beside it.
#
# usage: check_install.sh BUILDDIR WORKDIR
set -uo pipefail
build=$(cd "$1" && pwd)
work=$2
rm -rf "$work" && mkdir -p "$work"
work=$(cd "$work" && pwd)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

check_tree() {
    local root=$1 what=$2 private=$1/lib/lexpack
    [ -x "$private/lexpack" ] && [ -x "$private/dictzip" ] || fail "$what: lib/lexpack lacks lexpack or dictzip"
    [ "$(readlink "$root/bin/lexpack")" = "../lib/lexpack/lexpack" ] || fail "$what: bin/lexpack is not a link to lib/lexpack"
    [ -z "$(find "$root/bin" -name 'dictzip*')" ] || fail "$what: a dictzip landed in bin/"
    desktop-file-validate "$root/share/applications/lexpack.desktop" || fail "$what: the desktop entry is not valid"
    for size in 16 32 48 64 128 256; do
        [ "$(identify -format '%wx%h' "$root/share/icons/hicolor/${size}x${size}/apps/lexpack.png" 2>/dev/null)" = "${size}x${size}" ] \
            || fail "$what: icon ${size}x${size} missing or of the wrong size"
    done
    # The program, started headless for a moment, asks the dictzip beside it for its version.
    mv "$private/dictzip" "$private/dictzip.real"
    printf '#!/bin/sh\necho "$@" >> "%s/called"\nexec "%s/dictzip.real" "$@"\n' "$work" "$private" > "$private/dictzip"
    chmod +x "$private/dictzip"
    rm -f "$work/called"
    QT_QPA_PLATFORM=offscreen timeout 5 "$root/bin/lexpack" >/dev/null 2>&1
    mv -f "$private/dictzip.real" "$private/dictzip"
    [ "$(cat "$work/called" 2>/dev/null)" = "-V" ] || fail "$what: lexpack did not run the dictzip beside it"
}

cmake --install "$build" --prefix "$work/prefix" >/dev/null || fail "cmake --install failed"
check_tree "$work/prefix" "install"

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/deb" >/dev/null) || fail "cpack failed"
deb=$(ls "$work"/deb/*.deb 2>/dev/null | head -n1)
if [ -z "$deb" ]; then
    fail "no .deb was built"
else
    dpkg-deb -f "$deb" Depends | grep -q 'qt6-qpa-plugins' || fail "package does not depend on Qt's platform plugins"
    dpkg-deb -x "$deb" "$work/root" || fail "dpkg-deb -x failed"
    check_tree "$work/root/usr" "package"
fi
[ "$failures" -eq 0 ] || exit 1
echo "install and package checks passed"
