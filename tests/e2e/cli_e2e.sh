#!/usr/bin/env bash
# Help, version and a bad option with no display; then `lexpack a.txt b.dz` in a virtual
# X display batches both files with no key pressed.   usage: cli_e2e.sh BINDIR WORKDIR
set -uo pipefail
. "$(dirname "$0")/lib.sh" "$1" "$2"

cli() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 20 "$bindir/lexpack" "$@" >out 2>err; echo $?; }
[ "$(cli --version)" = 0 ] && grep -q '^lexpack [0-9.]*, compressor: dictzip ' out || fail "--version"
[ "$(cli -h)" = 0 ] && grep -q 'Usage: .*lexpack \[options\] \[FILE\.\.\.\]' out || fail "-h"
[ "$(cli --bad a.txt)" = 1 ] && [ ! -s out ] && grep -q "'bad'" err && grep -q '^Usage: ' err || fail "a bad option"

seq 1 200000 > a.txt && seq 7 90000 > b && cp a.txt a.orig && cp b b.orig && "$bindir/dictzip" b || fail "no b.dz"
QT_QPA_PLATFORM=xcb timeout 60 "$bindir/lexpack" a.txt b.dz >app.log 2>&1 &
made() { gzip -dc a.txt.dz 2>/dev/null | cmp -s - a.orig && cmp -s b b.orig; }
wait_for 60 made || fail "a.txt.dz and b were not both made from the command line"
cmp -s a.txt a.orig && [ -f b.dz ] || fail "an original went although \"Keep original file(s)\" is ticked"
echo "command line checks passed"
