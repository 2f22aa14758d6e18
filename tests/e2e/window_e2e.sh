#!/usr/bin/env bash
# Drives the real Lexpack window in a virtual X display, as a person would: Ctrl+O, paths
# typed into the open dialog, Enter, then the files on disk are checked. SCREENSHOT gets a
# picture of the window after a batch.   usage: window_e2e.sh BINDIR WORKDIR [SCREENSHOT]
set -uo pipefail
. "$(dirname "$0")/lib.sh" "$1" "$2" xdotool import gzip cmp
screenshot=${3:-}
# The program's home, in a neutral place: rows and the picture show ~/dictionaries paths.
home_root=$(mktemp -d /tmp/lexpack.XXXXXX) && home="$home_root/home/reader" || exit 1
mkdir -p "$home/dictionaries" "$home/.local/share"

# A DSL-like dictionary source of $2 entries.
make_dsl() { seq "$2" | awk '{ printf "headword%06d\n\t[m1][trn]Bedeutung %d, Beispiel %x[/trn][/m1]\n", $1, $1 * 7, $1 * 13 }' > "$1"; }
focus() { xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"; sleep 0.5; }

# As root, the program sees that home as /home/reader (its own mount namespace), so the
# picture shows no scratch paths.
app_home=$home run=()
case "$work" in /home/*) ;; *) [ "$(id -u)" = 0 ] && unshare -m true 2>/dev/null && app_home=/home/reader \
    run=(unshare -m --propagation private sh -c 'mount --bind "$0" /home && exec "$@"' "$home_root/home") ;; esac
# Files named on the command line make a batch with no key pressed, originals kept; after
# "--" a name like Qt's "-platform" is a file; a name that is not UTF-8 is refused, its look-alike left alone.
seq 1 200000 > a.txt && seq 7 90000 > b && cp a.txt a.orig && cp b b.orig && "$bindir/dictzip" b || fail "no b.dz"
touch -- -platform -platformpluginpath $'\xff\xfe.txt' $'\xef\xbf\xbd\xef\xbf\xbd.txt'
env -u XDG_CURRENT_DESKTOP -u XDG_DATA_HOME HOME="$app_home" QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME=lexpack-none \
    "${run[@]}" "$bindir/lexpack" -- -platform a.txt b.dz $'\xff\xfe.txt' > app.log 2>&1 &
app_pid=$!
window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Lexpack - Lexpacker$' | head -n1)
[ -n "$window" ] || fail "the main window did not appear"
made() { gzip -dc a.txt.dz 2>/dev/null | cmp -s - a.orig && cmp -s b b.orig && cmp -s a.txt a.orig && [ -f b.dz ] && [ -f ./-platform.dz ]; }
wait_for 60 made || fail "a.txt.dz, b and -platform.dz were not all made from the command line, originals kept"
[ -z "$(find . -name '*.txt.dz' ! -name a.txt.dz)" ] || fail "the name that is not UTF-8, or its look-alike, was processed"

# A batch in ~/dictionaries: the replaced .dz goes to the Trash; a damaged file fails with its reason (pictured),
# leaving the good file it would replace in place.
dicts="$home/dictionaries"
make_dsl "$dicts/en-fr.dsl" 300000
echo "an older en-fr.dsl.dz" > "$dicts/en-fr.dsl.dz"
head -c 4096 /dev/urandom > "$dicts/damaged.dsl.dz" && make_dsl "$dicts/damaged.dsl" 9 && cp "$dicts/damaged.dsl" damaged.orig
# Ctrl+O, then into the open dialog (the DSL filter in force) the folder and the names typed, each with Enter;
# refused until the batch before has ended, so asked again until the dialog shows.
focus "$window"
for _ in $(seq 10); do
    xdotool key --window "$window" ctrl+o
    dialog=$(timeout 2 xdotool search --sync --onlyvisible --name '^Choose files to process$' | head -n1)
    [ -z "$dialog" ] || break
done
[ -n "$dialog" ] || fail "the open dialog did not appear after Ctrl+O"
focus "$dialog"
for text in "$app_home/dictionaries/" '"en-fr.dsl" "damaged.dsl.dz" '; do
    xdotool type --delay 5 "$text"
    xdotool key Return
done

wait_for 60 eval 'gzip -dc "$dicts/en-fr.dsl.dz" 2>/dev/null | cmp -s - "$dicts/en-fr.dsl"' || fail "en-fr.dsl.dz did not replace the old one"
echo "an older en-fr.dsl.dz" | cmp -s - "$home/.local/share/Trash/files/en-fr.dsl.dz" ||
    fail "the replaced en-fr.dsl.dz is not in the Trash with its old content"
sleep 1 # the failed row and its reason painted for the picture
[ -z "$screenshot" ] || import -window "$window" "$screenshot" || fail "could not take a screenshot"

# F1 opens About.
focus "$window"
xdotool key --window "$window" F1
about=$(timeout 20 xdotool search --sync --onlyvisible --name '^About Lexpack$' | head -n1)
[ -n "$about" ] || fail "F1 did not open About"
focus "$about"
xdotool key --window "$about" Escape
cmp -s "$dicts/damaged.dsl" damaged.orig && [ ! -e "$home/.local/share/Trash/files/damaged.dsl" ] ||
    fail "the damaged .dz did not leave the good damaged.dsl in place"

# Ctrl+Q ends the program with exit code 0.
focus "$window"
xdotool key --window "$window" ctrl+q
wait_for 15 eval '! kill -0 $app_pid 2>/dev/null' || fail "the program did not end within 15 s of Ctrl+Q"
wait "$app_pid" || fail "the program ended with exit code $? after Ctrl+Q"
echo "passed"
