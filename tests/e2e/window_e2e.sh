#!/usr/bin/env bash
# Drives the real Lexpack window in a virtual X display, as a person would: Ctrl+O, paths
# typed into the open dialog, Enter, then the files on disk are checked.
#
# usage: window_e2e.sh BINDIR WORKDIR [SCREENSHOT]
#   BINDIR holds lexpack and the dictzip beside it; SCREENSHOT receives a picture of the
#   window after the batch.
set -uo pipefail

bindir=$(cd "$1" && pwd)
work=$2
screenshot=${3:-}
for tool in Xvfb xdotool import gzip cmp; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
rm -rf "$work" && mkdir -p "$work"
work=$(cd "$work" && pwd)
xvfb_pid="" app_pid=""
trap '{ [ -n "$app_pid" ] && kill "$app_pid"; [ -n "$xvfb_pid" ] && kill "$xvfb_pid"; wait; } 2>/dev/null' EXIT

fail() {
    echo "FAIL: $*"
    ls -l "$work"; cat "$work/app.log" 2>/dev/null
    exit 1
}

# Polls a condition every 0.2 s for at most $1 seconds.
wait_for() {
    local tries=$(($1 * 5)); shift
    while ! "$@"; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.2
    done
}

# A DSL-like dictionary source of $2 entries.
make_dsl() { seq "$2" | awk '{ printf "headword%06d\n\t[m1][trn]Bedeutung %d, Beispiel %x[/trn][/m1]\n", $1, $1 * 7, $1 * 13 }' > "$1"; }
same_as() { [ -f "$1" ] && gzip -dc "$1" 2>/dev/null | cmp -s - "$2"; }
plain_same_as() { [ -f "$1" ] && cmp -s "$1" "$2"; }
focus() { xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"; sleep 0.5; }

exec 5> "$work/display"  # Xvfb writes its display number here once it is ready
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
xvfb_pid=$!
wait_for 20 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"

make_dsl "$work/en-de.dsl" 40000
cp "$work/en-de.dsl" "$work/en-de.dsl.orig"
make_dsl "$work/other.dsl" 9000
cp "$work/other.dsl" "$work/other.orig"
"$bindir/dictzip" "$work/other.dsl" || fail "could not prepare other.dsl.dz"

env -u XDG_CURRENT_DESKTOP QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME=lexpack-none \
    "$bindir/lexpack" > "$work/app.log" 2>&1 &
app_pid=$!
window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Lexpack - Lexpacker$' | head -n1)
[ -n "$window" ] || fail "the main window did not appear"
focus "$window"

# Ctrl+O, then the two files typed as quoted paths (the check box starts ticked: keep).
xdotool key --window "$window" ctrl+o
dialog=$(timeout 20 xdotool search --sync --onlyvisible --name '^Choose files to process$' | head -n1)
[ -n "$dialog" ] || fail "the open dialog did not appear after Ctrl+O"
focus "$dialog"
xdotool type --delay 5 "\"$work/en-de.dsl\" \"$work/other.dsl.dz\" "
xdotool key Return

wait_for 60 same_as "$work/en-de.dsl.dz" "$work/en-de.dsl.orig" || fail "en-de.dsl.dz did not appear with the right content"
wait_for 60 plain_same_as "$work/other.dsl" "$work/other.orig" || fail "other.dsl.dz was not decompressed correctly"
sleep 1 # the last row's "done" painted for the picture
cmp -s "$work/en-de.dsl" "$work/en-de.dsl.orig" || fail "the kept original en-de.dsl changed or went"
[ -f "$work/other.dsl.dz" ] || fail "the kept original other.dsl.dz went"
[ -z "$screenshot" ] || import -window "$window" "$screenshot" || fail "could not take a screenshot"

# Ctrl+O, then into the open dialog (the DSL filter in force) each argument typed and Enter.
open_typed() {
    focus "$window"
    xdotool key --window "$window" ctrl+o
    dialog=$(timeout 20 xdotool search --sync --onlyvisible --name '^Choose files to process$' | head -n1)
    [ -n "$dialog" ] || fail "the open dialog did not appear after Ctrl+O"
    focus "$dialog"
    for text in "$@"; do
        xdotool type --delay 5 "$text"
        xdotool key Return
    done
}

# Typed names that the filter hides are processed as well as the one it shows (typed in
# the dialog's folder, where the filter decides what its list shows).
mkdir -p "$work/typed"
for name in a.dict b.dsl c.txt; do make_dsl "$work/typed/$name" 100; done
open_typed "$work/typed/" '"a.dict" "b.dsl" "c.txt" '
for name in a.dict b.dsl c.txt; do
    wait_for 30 same_as "$work/typed/$name.dz" "$work/typed/$name" || fail "the typed name $name was not processed"
done

# About opened while the first of three files runs: the batch goes on to its end under it.
make_dsl "$work/about1.dsl" 600000
make_dsl "$work/about2.dsl" 100 && make_dsl "$work/about3.dsl" 100
open_typed "\"$work/about1.dsl\" \"$work/about2.dsl\" \"$work/about3.dsl\" "
wait_for 30 test -e "$work/about1.dsl.dz" || fail "the batch under About did not start"
focus "$window"
xdotool key --window "$window" F1
about=$(timeout 20 xdotool search --sync --onlyvisible --name '^About Lexpack$' | head -n1)
[ -n "$about" ] || fail "About did not open during the batch"
for i in 1 2 3; do
    wait_for 30 same_as "$work/about$i.dsl.dz" "$work/about$i.dsl" || fail "about$i.dsl was not processed while About was open"
done
xdotool search --onlyvisible --name '^About Lexpack$' >/dev/null || fail "About closed before the batch ended"
focus "$about"
xdotool key --window "$about" Escape

# Ctrl+Q ends the program with exit code 0.
focus "$window"
xdotool key --window "$window" ctrl+q
ended() { ! kill -0 "$app_pid" 2>/dev/null; }
wait_for 15 ended || fail "the program did not end within 15 s of Ctrl+Q"
wait "$app_pid"; code=$?
app_pid=""
[ "$code" -eq 0 ] || fail "the program ended with exit code $code after Ctrl+Q"
echo "passed"
