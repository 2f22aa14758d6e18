#!/usr/bin/env bash
# The desktop integration, installed and in the unpacked .deb: the entry takes files, the
# dictzip type is known by name and by content, the service menus and complete catalogues
# are there.   usage: check_desktop.sh SOURCEDIR BUILDDIR WORKDIR LUPDATE
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

check_tree() {
    local root=$1 xdg=$work/xdg-$2 menus=$1/share/kio/servicemenus
    timeout 20 desktop-file-validate "$root/share/applications/lexpack.desktop" || fail "$2: desktop entry invalid"
    grep -qx 'Exec=lexpack %F' "$root/share/applications/lexpack.desktop" \
        && grep -qx 'MimeType=application/x-dictzip;text/plain;' "$root/share/applications/lexpack.desktop" \
        || fail "$2: the desktop entry takes no files"
    grep -qx 'Name=Compress with Lexpack' "$menus/lexpack-compress.desktop" && grep -qx 'Name=Decompress with Lexpack' \
        "$menus/lexpack-decompress.desktop" || fail "$2: the service menus are missing"
    [ -s "$root/lib/lexpack/translations/lexpack_de.qm" ] && [ -s "$root/lib/lexpack/translations/lexpack_ru.qm" ] \
        || fail "$2: the catalogues are missing"
    # The type in a scratch database, by name, and by content once renamed.
    mkdir -p "$xdg/mime/packages" && cp "$root/share/mime/packages/lexpack.xml" "$xdg/mime/packages/"
    timeout 60 update-mime-database "$xdg/mime" >/dev/null 2>&1 || fail "$2: update-mime-database failed"
    seq 1000 > "$xdg/w.txt" && "$root/lib/lexpack/dictzip" -k "$xdg/w.txt" && cp "$xdg/w.txt.dz" "$xdg/renamed"
    gzip -c "$xdg/w.txt" > "$xdg/plain.gz"
    for pair in w.txt.dz:application/x-dictzip renamed:application/x-dictzip plain.gz:application/gzip; do
        local type
        type=$(cd "$xdg" && XDG_DATA_HOME="$xdg/none" XDG_DATA_DIRS="$xdg:/usr/share" \
            timeout 20 env -u XDG_CURRENT_DESKTOP xdg-mime query filetype "${pair%%:*}")
        [ "$type" = "${pair#*:}" ] || fail "$2: ${pair%%:*} is $type"
    done
}

timeout 120 cmake --install "$build" --prefix "$work/prefix" >/dev/null || fail "cmake --install failed"
check_tree "$work/prefix" install
(cd "$work" && timeout 120 cpack --config "$build/CPackConfig.cmake" -B "$work/deb" >/dev/null) || fail "cpack failed"
dpkg-deb -x "$work"/deb/*.deb "$work/root" || fail "no .deb to unpack"
check_tree "$work/root/usr" package
[ "$failures" -eq 0 ] && echo "desktop checks passed"
