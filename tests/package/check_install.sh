#!/usr/bin/env bash
# Installs the build into a fresh prefix and builds the Debian package, then checks that
# both hold the window and its compressor side by side, that nothing named dictzip lands
# in bin/, and that the installed program really starts the compressor beside it.
#
# usage: check_install.sh BUILDDIR WORKDIR
set -uo pipefail
build=$(cd "$1" && pwd)
work=$2
rm -rf "$work" && mkdir -p "$work"
work=$(cd "$work" && pwd)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Runs the installed program headless for a moment with a stand-in for its compressor
# that records the call, and reports whether the program called it.
starts_its_compressor() {
    local root=$1 private=$2
    mv "$private/dictzip" "$private/dictzip.real"
    printf '#!/bin/sh\necho "$@" >> "%s/called"\nexec "%s/dictzip.real" "$@"\n' "$private" "$private" > "$private/dictzip"
    chmod +x "$private/dictzip"
    QT_QPA_PLATFORM=offscreen timeout 5 "$root/bin/lexpack" >/dev/null 2>&1
    local called
    called=$(cat "$private/called" 2>/dev/null)
    mv -f "$private/dictzip.real" "$private/dictzip"
    [ "$called" = "-V" ]
}

check_tree() {
    local root=$1 what=$2
    [ -x "$root/lib/lexpack/lexpack" ] || fail "$what: lib/lexpack/lexpack is missing"
    [ -x "$root/lib/lexpack/dictzip" ] || fail "$what: lib/lexpack/dictzip is missing"
    [ -L "$root/bin/lexpack" ] || fail "$what: bin/lexpack is not a link"
    [ "$(readlink "$root/bin/lexpack")" = "../lib/lexpack/lexpack" ] || fail "$what: bin/lexpack points elsewhere"
    [ -z "$(find "$root/bin" -name 'dictzip*' 2>/dev/null)" ] || fail "$what: a dictzip landed in bin/"
    desktop-file-validate "$root/share/applications/lexpack.desktop" || fail "$what: the desktop entry is not valid"
    for size in 16 32 48 64 128 256; do
        local icon="$root/share/icons/hicolor/${size}x${size}/apps/lexpack.png"
        [ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = "${size}x${size}" ] || fail "$what: icon ${size}x${size} missing or of the wrong size"
    done
    "$root/lib/lexpack/dictzip" -V >/dev/null || fail "$what: dictzip -V failed"
    echo "plain text" > "$work/probe.txt"
    "$root/lib/lexpack/dictzip" -k "$work/probe.txt" && gzip -dc "$work/probe.txt.dz" | cmp -s - "$work/probe.txt" \
        || fail "$what: the installed dictzip does not round-trip"
    rm -f "$work/probe.txt" "$work/probe.txt.dz"
    starts_its_compressor "$root" "$root/lib/lexpack" || fail "$what: lexpack did not run the dictzip beside it"
}

# cmake --install into a prefix of our own.
cmake --install "$build" --prefix "$work/prefix" >/dev/null || fail "cmake --install failed"
check_tree "$work/prefix" "install"

# The Debian package, unpacked into a temporary root.
(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/deb" >/dev/null) || fail "cpack failed"
deb=$(ls "$work"/deb/*.deb 2>/dev/null | head -n1)
if [ -z "$deb" ]; then
    fail "no .deb was built"
else
    echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
    dpkg-deb -c "$deb" | awk '{print $6}' | grep -q '^./usr/lib/lexpack/dictzip$' || fail "package lacks usr/lib/lexpack/dictzip"
    dpkg-deb -f "$deb" Depends | grep -q 'qt6-qpa-plugins' || fail "package does not depend on Qt's platform plugins"
    dpkg-deb -x "$deb" "$work/root" || fail "dpkg-deb -x failed"
    check_tree "$work/root/usr" "package"
fi

[ "$failures" -eq 0 ] || exit 1
echo "install and package checks passed"
