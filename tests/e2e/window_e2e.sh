#!/usr/bin/env bash
# Drives the real Lexpack window in a virtual X display, as a person would:
# Ctrl+O, two paths typed into the open dialog, Enter, then the files on disk are checked.
# A second run unticks "Keep original file(s)" first.
#
# usage: window_e2e.sh BINDIR WORKDIR [SCREENSHOT]
#   BINDIR holds lexpack and the dictzip beside it; SCREENSHOT receives a picture of the
#   window after the first batch.
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
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    echo "--- files in $work:"; ls -l "$work"
    [ -n "${DISPLAY:-}" ] && { echo "--- windows:"; xdotool search --name '.' getwindowname %@ 2>/dev/null | head -20; }
    [ -f "$work/app.log" ] && { echo "--- program output:"; cat "$work/app.log"; }
    exit 1
}

# Polls a condition every 0.2 s for at most $1 seconds.
wait_for() {
    local seconds=$1; shift
    local tries=$((seconds * 5))
    while ! "$@"; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.2
    done
}

# Test data: a DSL-like dictionary source of a few MB, and a .dz made from other content.
make_dsl() {
    awk -v n="$2" 'BEGIN {
        print "#NAME \"Test Dictionary\""; print "#INDEX_LANGUAGE \"English\""; print "#CONTENTS_LANGUAGE \"German\""; print ""
        srand(7)
        for (i = 0; i < n; i++) {
            printf "headword%06d\n\t[m1][trn]Bedeutung %d, Beispiel %x[/trn][/m1]\n\t[m2][ex]example sentence number %d with %d words[/ex][/m2]\n", i, i * 7, i * 13, i, int(rand() * 100)
        }
    }' > "$1"
}

start_xvfb() {
    exec 5> "$work/display"
    Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp > "$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    wait_for 20 test -s "$work/display" || fail "Xvfb did not start"
    export DISPLAY=":$(head -n1 "$work/display")"
}

# Starts the program and prints its window id.
start_app() {
    env -u XDG_CURRENT_DESKTOP QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME=lexpack-none \
        "$bindir/lexpack" > "$work/app.log" 2>&1 &
    app_pid=$!
    window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Lexpack - Lexpacker$' | head -n1)
    [ -n "$window" ] || fail "the main window did not appear"
    xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
    sleep 0.5
}

# Opens the dialog with Ctrl+O and chooses the given files by typing their quoted paths.
open_files() {
    xdotool key --window "$window" ctrl+o
    dialog=$(timeout 20 xdotool search --sync --onlyvisible --name '^Choose files to process$' | head -n1)
    [ -n "$dialog" ] || fail "the open dialog did not appear after Ctrl+O"
    xdotool windowfocus --sync "$dialog" 2>/dev/null || xdotool windowfocus "$dialog"
    sleep 0.5
    local typed=""
    for path in "$@"; do typed+="\"$path\" "; done
    xdotool type --delay 5 "$typed"
    xdotool key Return
    wait_for 10 bash -c "! xdotool search --onlyvisible --name '^Choose files to process$' >/dev/null" \
        || fail "the open dialog did not close after Enter"
}

quit_app() {
    xdotool windowfocus "$window" 2>/dev/null
    xdotool key --window "$window" ctrl+q
    local waited=0
    while kill -0 "$app_pid" 2>/dev/null; do
        sleep 0.2; waited=$((waited + 1))
        [ "$waited" -lt 75 ] || fail "the program did not end within 15 s of Ctrl+Q"
    done
    wait "$app_pid"; local code=$?
    app_pid=""
    [ "$code" -eq 0 ] || fail "the program ended with exit code $code after Ctrl+Q"
}

same_as() { [ -f "$1" ] && gzip -dc "$1" 2>/dev/null | cmp -s - "$2"; }
plain_same_as() { [ -f "$1" ] && cmp -s "$1" "$2"; }

start_xvfb
started=$(date +%s)

# --- First run: originals kept (the check box starts ticked).
make_dsl "$work/en-de.dsl" 40000
cp "$work/en-de.dsl" "$work/en-de.dsl.orig"
make_dsl "$work/other.dsl" 9000
cp "$work/other.dsl" "$work/other.orig"
"$bindir/dictzip" "$work/other.dsl" || fail "could not prepare other.dsl.dz"
[ ! -e "$work/other.dsl" ] || fail "dictzip kept its input without -k"

start_app
open_files "$work/en-de.dsl" "$work/other.dsl.dz"
wait_for 60 same_as "$work/en-de.dsl.dz" "$work/en-de.dsl.orig" || fail "en-de.dsl.dz did not appear with the right content"
wait_for 60 plain_same_as "$work/other.dsl" "$work/other.orig" || fail "other.dsl.dz was not decompressed correctly"
sleep 1
[ -f "$work/en-de.dsl" ] && cmp -s "$work/en-de.dsl" "$work/en-de.dsl.orig" || fail "the kept original en-de.dsl changed or went"
[ -f "$work/other.dsl.dz" ] || fail "the kept original other.dsl.dz went"
if [ -n "$screenshot" ]; then
    import -window "$window" "$screenshot" || fail "could not take a screenshot"
fi
quit_app
echo "first run passed"

# --- Second run: untick "Keep original file(s)" from the keyboard, originals go only
# once their outputs are complete and correct.
rm -f "$work/en-de.dsl.dz" "$work/other.dsl"
start_app
xdotool key --window "$window" Tab space   # focus starts on Open...; Tab reaches the check box
sleep 0.3
open_files "$work/en-de.dsl" "$work/other.dsl.dz"
check_removal() {
    if [ ! -e "$work/en-de.dsl" ]; then
        same_as "$work/en-de.dsl.dz" "$work/en-de.dsl.orig" || { echo "en-de.dsl was removed before its .dz was complete"; return 2; }
    fi
    if [ ! -e "$work/other.dsl.dz" ]; then
        plain_same_as "$work/other.dsl" "$work/other.orig" || { echo "other.dsl.dz was removed before other.dsl was complete"; return 2; }
    fi
    [ ! -e "$work/en-de.dsl" ] && [ ! -e "$work/other.dsl.dz" ]
}
deadline=$(( $(date +%s) + 60 ))
while :; do
    check_removal; status=$?
    [ "$status" -eq 0 ] && break
    [ "$status" -eq 2 ] && fail "an original went before its output was complete"
    [ "$(date +%s)" -lt "$deadline" ] || fail "the originals were not removed after an unticked batch"
    sleep 0.1
done
same_as "$work/en-de.dsl.dz" "$work/en-de.dsl.orig" || fail "en-de.dsl.dz is wrong after the second run"
plain_same_as "$work/other.dsl" "$work/other.orig" || fail "other.dsl is wrong after the second run"
quit_app
echo "second run passed"
echo "both runs passed in $(( $(date +%s) - started )) s"
