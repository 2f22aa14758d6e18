#!/usr/bin/env bash
# The command line: help, version and a bad option answered with no display, and
# `lexpack a.txt b.dz` in a virtual X display batching both files with no key pressed.
#
# usage: cli_e2e.sh BINDIR WORKDIR
set -uo pipefail
bindir=$(cd "$1" && pwd)
work=$2
for tool in Xvfb gzip cmp; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
rm -rf "$work" && mkdir -p "$work" && work=$(cd "$work" && pwd)
xvfb_pid="" app_pid=""
trap '[ -n "$app_pid" ] && kill $app_pid 2>/dev/null; [ -n "$xvfb_pid" ] && kill $xvfb_pid 2>/dev/null; wait 2>/dev/null' EXIT
fail() { echo "FAIL: $*"; ls -l "$work"; cat "$work/app.log" 2>/dev/null; exit 1; }

# Answered before any window system is touched: no display, no platform named.
cli() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 20 "$bindir/lexpack" "$@" >"$work/out" 2>"$work/err"; }
cli --version; [ $? -eq 0 ] && grep -q '^lexpack [0-9.]*, compressor: dictzip ' "$work/out" || fail "--version: $(cat "$work/out" "$work/err")"
cli -h; [ $? -eq 0 ] && grep -q 'Usage: .*lexpack \[options\] \[FILE\.\.\.\]' "$work/out" || fail "-h: $(cat "$work/out" "$work/err")"
cli --no-such-option a.txt; [ $? -eq 1 ] && [ ! -s "$work/out" ] && head -n1 "$work/err" | grep -q 'no-such-option' \
    && grep -q '^Usage: ' "$work/err" || fail "a bad option: $(cat "$work/out" "$work/err")"

# Relative names, against the directory the program is started in.
seq 1 200000 > "$work/a.txt" && cp "$work/a.txt" "$work/a.orig"
seq 7 90000 > "$work/b" && cp "$work/b" "$work/b.orig" && "$bindir/dictzip" "$work/b" || fail "could not make b.dz"
exec 5> "$work/display"
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.2; done
[ -s "$work/display" ] || fail "Xvfb did not start"
(cd "$work" && exec env DISPLAY=":$(head -n1 display)" QT_QPA_PLATFORM=xcb timeout 60 "$bindir/lexpack" a.txt b.dz) > "$work/app.log" 2>&1 &
app_pid=$!
done_ok() { gzip -dc "$work/a.txt.dz" 2>/dev/null | cmp -s - "$work/a.orig" && cmp -s "$work/b" "$work/b.orig"; }
for _ in $(seq 300); do done_ok && break; kill -0 $app_pid 2>/dev/null || break; sleep 0.2; done
done_ok || fail "a.txt.dz and b were not both made from the command line"
cmp -s "$work/a.txt" "$work/a.orig" && [ -f "$work/b.dz" ] || fail "an original went although \"Keep original file(s)\" is ticked"
echo "command line checks passed"
