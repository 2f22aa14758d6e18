#!/usr/bin/env bash
# The command line without a display; then installs the build into a fresh prefix and builds the Debian package; both must hold the
# window and its compressor side by side (nothing named dictzip in bin/), an installed
# program that starts the compressor beside it, the icons, a desktop entry that opens
# dictzip files and claims no other type, the dictzip type known by name and by content,
# the service menus and complete catalogues.   usage: check_install.sh SOURCEDIR BUILDDIR WORKDIR LUPDATE
set -uo pipefail
src=$(cd "$1" && pwd) build=$(cd "$2" && pwd) lupdate=$4
rm -rf "$3" && mkdir -p "$3" && work=$(cd "$3" && pwd)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Each catalogue holds exactly the texts the sources translate, every one translated.
for ts in "$src"/translations/*.ts; do
    cp "$ts" "$work/now.ts" && (cd "$src" && timeout 60 "$lupdate" -silent -locations none src -ts "$work/now.ts")
    cmp -s "$ts" "$work/now.ts" && ! grep -q 'type="unfinished"' "$ts" || fail "$ts is not complete"
done

# Help, version and a bad option answer with no display at all.
cli() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 20 "$build/bin/lexpack" "$@" >"$work/out" 2>"$work/err"; }
cli --version && grep -q '^lexpack [0-9.]*, compressor: dictzip ' "$work/out" || fail "--version"
cli -h && grep -q 'Usage: .*lexpack \[options\] \[FILE\.\.\.\]' "$work/out" || fail "-h"
cli --bad a.txt; [ $? = 1 ] && [ ! -s "$work/out" ] && grep -q "'bad'" "$work/err" || fail "a bad option"

check_tree() {
    local root=$1 private=$1/lib/lexpack xdg=$work/xdg-$2 entry=$1/share/applications/lexpack.desktop
    [ "$(readlink "$root/bin/lexpack")" = "../lib/lexpack/lexpack" ] || fail "$2: bin/lexpack is not a link to lib/lexpack"
    [ -z "$(find "$root/bin" -name 'dictzip*')" ] || fail "$2: a dictzip landed in bin/"
    [ "$(cd "$root/share/icons/hicolor" && identify -format '%wx%h ' {16,32,48,64,128,256}x*/apps/lexpack.png)" = \
        "16x16 32x32 48x48 64x64 128x128 256x256 " ] || fail "$2: the icons are missing or of the wrong sizes"
    # Started through bin/, the program finds the compressor beside its real path.
    [ "$(timeout 20 "$root/bin/lexpack" --version)" = "$(timeout 20 "$build/bin/lexpack" --version)" ] \
        || fail "$2: lexpack did not find the dictzip beside it"
    timeout 20 desktop-file-validate "$entry" || fail "$2: desktop entry invalid"
    grep -qx 'Exec=lexpack %F' "$entry" && grep -q '^Comment\[de\]=' "$entry" && grep -q '^GenericName\[ru\]=' "$entry" \
        || fail "$2: the desktop entry takes no files or is not translated"
    grep -qx 'Name=Compress with Lexpack' "$root/share/kio/servicemenus/lexpack-compress.desktop" \
        && grep -qx 'Name=Decompress with Lexpack' "$root/share/kio/servicemenus/lexpack-decompress.desktop" \
        || fail "$2: the service menus are missing"
    [ -s "$private/translations/lexpack_de.qm" ] && [ -s "$private/translations/lexpack_ru.qm" ] \
        || fail "$2: the catalogues are missing"
    # The type in a scratch database, by name, and by content once renamed.
    mkdir -p "$xdg/mime/packages" && cp "$root/share/mime/packages/lexpack.xml" "$xdg/mime/packages/"
    timeout 60 update-mime-database "$xdg/mime" >/dev/null 2>&1 || fail "$2: update-mime-database failed"
    seq 1000 >"$xdg/w.txt" && "$private/dictzip" -k "$xdg/w.txt" && cp "$xdg/w.txt.dz" "$xdg/renamed"
    gzip -c "$xdg/w.txt" >"$xdg/plain.gz"
    for pair in w.txt.dz:application/x-dictzip renamed:application/x-dictzip plain.gz:application/gzip; do
        local type
        type=$(cd "$xdg" && XDG_DATA_HOME="$xdg/none" XDG_DATA_DIRS="$xdg:/usr/share" \
            timeout 20 env -u XDG_CURRENT_DESKTOP xdg-mime query filetype "${pair%%:*}")
        [ "$type" = "${pair#*:}" ] || fail "$2: ${pair%%:*} is $type"
    done
    # Installed, the entry opens .dz files and leaves text files to their own default.
    mkdir -p "$xdg/applications" && cp "$entry" "$xdg/applications/" && update-desktop-database "$xdg/applications"
    default() { XDG_DATA_HOME=$xdg/none XDG_CONFIG_HOME=$xdg/none XDG_DATA_DIRS=$1 timeout 20 env -u XDG_CURRENT_DESKTOP xdg-mime query default "$2"; }
    [ "$(default "$xdg:/usr/share" text/plain)" = "$(default /usr/share text/plain)" ] \
        && [ "$(default "$xdg:/usr/share" application/x-dictzip)" = lexpack.desktop ] || fail "$2: installing changed the default for text files, or .dz files do not open with Lexpack"
}

timeout 120 cmake --install "$build" --prefix "$work/prefix" >/dev/null || fail "cmake --install failed"
check_tree "$work/prefix" install
(cd "$work" && timeout 120 cpack --config "$build/CPackConfig.cmake" -B "$work/deb" >/dev/null) || fail "cpack failed"
dpkg-deb -f "$work"/deb/*.deb Depends | grep -q 'qt6-qpa-plugins' || fail "package does not depend on Qt's platform plugins"
dpkg-deb -x "$work"/deb/*.deb "$work/root" || fail "no .deb to unpack"
check_tree "$work/root/usr" package
[ "$failures" -eq 0 ] && echo "install and package checks passed"
