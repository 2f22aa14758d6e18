#!/usr/bin/env bash
# The Windows program as a user gets it, under wine in a fresh prefix and a virtual X display.
# The installer, run silently, puts it into Program Files with a Start-menu entry, a Send To
# entry and the .dz association; the installed lexpack.exe answers on the command line, to a
# redirected file and in the console it was started from, with the exit codes of Linux; started
# with files, as Explorer starts it, it finishes their rows (a Cyrillic name among them, and a
# damaged .dz that fails with the compressor's message under the list: SCREENSHOT shows both);
# the uninstall leaves nothing behind.   usage: windows_e2e.sh MSI WORKDIR SCREENSHOT  (LEXPACK_WINE)
set -uo pipefail
msi=$(realpath "$1") screenshot=$(realpath -m "$3")
. "$(dirname "$0")/lib.sh" / "$2" xdotool import gzip cmp script
# Nothing on this machine outside the work folder: a home of its own, and no menu entries
# for the shortcuts the installer makes (winemenubuilder).
export HOME=$work/home WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
trap 'wineserver -k 2>/dev/null; kill $(jobs -p) 2>/dev/null; wait' EXIT
w() { timeout 120 "$LEXPACK_WINE" "$@"; }
exe='C:\Program Files\Lexpack\lexpack.exe' drive=$WINEPREFIX/drive_c
w wineboot --init >/dev/null 2>&1 && w msiexec /i "Z:${msi//\//\\}" /qn || fail "msiexec /i failed"
for file in lexpack.exe dictzip.exe platforms/qwindows.dll styles/qwindowsvistastyle.dll translations/qtbase_ru.qm; do
    [ -f "$drive/Program Files/Lexpack/$file" ] || fail "$file is not installed"
done
links=$(find "$drive" \( -path '*/Start Menu/Programs/Lexpack.lnk' -o -path '*/SendTo/Lexpack.lnk' \) -exec grep -laF 'Lexpack\lexpack.exe' {} +)
[ "$(echo "$links" | wc -l)" = 2 ] || fail "no Start-menu or Send To entry for lexpack.exe: $links"
value() { w reg query "$1" /ve 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p'; }
open="\"$exe\" \"%1\""
[ "$(value 'HKCR\.dz')" = Lexpack.DictZip ] && [ "$(value 'HKCR\Lexpack.DictZip\shell\open\command')" = "$open" ] &&
    [ "$(value 'HKCR\Applications\lexpack.exe\shell\open\command')" = "$open" ] &&
    w reg query 'HKCR\.dz\OpenWithProgids' /v Lexpack.DictZip >/dev/null 2>&1 || fail ".dz is not associated with Lexpack"

# To a redirected file (in UTF-8) and in a command prompt's console (the pty gives wine one,
# and draws blanks as cursor moves), with Linux's exit codes; started from a Cyrillic folder.
ln -s "$drive/Program Files/Lexpack" "$drive/Словари" && cli='C:\Словари\lexpack.exe'
w "$cli" --version >out 2>err && grep -q '^lexpack [0-9.]*, compressor: dictzip ' out || fail "--version"
w "$cli" -h >out 2>err && grep -qF 'Usage: C:\Словари\lexpack.exe [options] [FILE...]' out || fail "-h"
w "$cli" --bad >out 2>err; [ $? = 1 ] && [ ! -s out ] && grep -q "'bad'" err || fail "a bad option"
console() { script -qec "timeout 60 '$LEXPACK_WINE' cmd /c '$cli' $1" /dev/null | sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g' | tr -d ' \r\n'; }
[[ $(console --help) == *'Usage:C:\Словари\lexpack.exe[options][FILE...]'* ]] || fail "-h in a console"
[[ $(console --bad; echo "exit ${PIPESTATUS[0]}") == *"Unknownoption'bad'"*"exit 1" ]] || fail "a bad option in a console"
rm "$drive/Словари"

seq 1 200000 >a.txt && seq 7 90000 >словарь && cp a.txt a.orig && cp словарь b.orig && w "$drive/Program Files/Lexpack/dictzip.exe" словарь ||
    fail "no словарь.dz"
head -c 4096 /dev/urandom >повреждён.dz
ln -s "$work" "$WINEPREFIX/dosdevices/d:" # short paths in the rows and the picture
w "$exe" 'D:\a.txt' 'D:\словарь.dz' 'D:\повреждён.dz' >app.log 2>&1 &
app=$!
window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Lexpack - Lexpacker$' | head -n1)
[ -n "$window" ] || fail "the window did not appear"
made() { gzip -dc a.txt.dz 2>/dev/null | cmp -s - a.orig && cmp -s словарь b.orig && cmp -s a.txt a.orig; }
wait_for 60 made || fail "a.txt.dz and словарь were not both made, originals kept"
sleep 2 # the damaged file's row and message painted for the picture
import -window "$window" "$screenshot" || fail "could not take a screenshot"
xdotool key --window "$window" ctrl+q
wait "$app" || fail "lexpack.exe ended with exit code $? after Ctrl+Q"
# A double click on a .dz file (ShellExecute, through the association) unpacks it.
cp словарь.dz копия.dz && w start 'D:\копия.dz'
wait_for 60 cmp -s копия словарь || fail "a double click on копия.dz did not unpack it"
xdotool key --window "$(xdotool search --onlyvisible --name '^Lexpack - Lexpacker$' | head -n1)" ctrl+q
timeout 60 wineserver -w || fail "lexpack.exe did not end after Ctrl+Q"

w msiexec /x "Z:${msi//\//\\}" /qn && rm "$WINEPREFIX/dosdevices/d:" || fail "msiexec /x failed"
timeout 60 wineserver -w # the registry is on disk once wine has ended
left=$(find "$drive" -iname '*lexpack*'; grep -il lexpack "$WINEPREFIX"/*.reg)
[ -z "$left" ] || fail "the uninstall left $left"
echo passed
