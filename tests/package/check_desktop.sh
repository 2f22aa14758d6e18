#!/usr/bin/env bash
# The desktop integration, in the installed tree and in the unpacked .deb: the desktop
# entry takes files, the dictzip file type is known by name and by content, the KDE
# service menus are there, and so are complete German and Russian catalogues.
#
# usage: check_desktop.sh SOURCEDIR BUILDDIR WORKDIR LUPDATE
set -uo pipefail
src=$(cd "$1" && pwd) build=$(cd "$2" && pwd) work=$3 lupdate=$4
rm -rf "$work" && mkdir -p "$work" && work=$(cd "$work" && pwd)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
run() { timeout 60 "$@"; }

# Each catalogue holds exactly the texts the sources translate today, all translated.
for ts in "$src"/translations/*.ts; do
    cp "$ts" "$work/current.ts"
    (cd "$src" && run "$lupdate" -silent -locations none src -ts "$work/current.ts") || fail "lupdate failed"
    cmp -s "$ts" "$work/current.ts" || fail "$(basename "$ts") does not match the sources' texts"
    ! grep -q 'type="unfinished"' "$ts" || fail "$(basename "$ts") has untranslated entries"
done

check_tree() {
    local root=$1 what=$2 entry=$1/share/applications/lexpack.desktop
    run desktop-file-validate "$entry" || fail "$what: the desktop entry is not valid"
    grep -qx 'Exec=lexpack %F' "$entry" || fail "$what: the desktop entry does not take files"
    grep -qx 'MimeType=application/x-dictzip;text/plain;' "$entry" || fail "$what: the desktop entry claims no file types"
    grep -q '^Name=Compress with Lexpack$' "$root/share/kio/servicemenus/lexpack-compress.desktop" \
        && grep -q '^Name=Decompress with Lexpack$' "$root/share/kio/servicemenus/lexpack-decompress.desktop" \
        && grep -qx 'MimeType=application/x-dictzip;' "$root/share/kio/servicemenus/lexpack-decompress.desktop" \
        || fail "$what: the service menus are missing"
    for lang in de ru; do
        [ -s "$root/lib/lexpack/translations/lexpack_$lang.qm" ] || fail "$what: lexpack_$lang.qm is missing"
    done

    # The type, by name and renamed by content, in a scratch database of that tree's package.
    local xdg=$work/xdg-$what
    rm -rf "$xdg" && mkdir -p "$xdg/data/mime/packages" "$xdg/home"
    cp "$root/share/mime/packages/lexpack.xml" "$xdg/data/mime/packages/" || fail "$what: no MIME package"
    run update-mime-database "$xdg/data/mime" >/dev/null 2>&1 || fail "$what: update-mime-database failed"
    seq 1 1000 > "$xdg/words.txt"
    "$root/lib/lexpack/dictzip" -k "$xdg/words.txt" && cp "$xdg/words.txt.dz" "$xdg/renamed.bin"
    gzip -c "$xdg/words.txt" > "$xdg/plain.gz"
    for file in words.txt.dz:application/x-dictzip renamed.bin:application/x-dictzip plain.gz:application/gzip; do
        local type
        type=$(cd "$xdg" && XDG_DATA_HOME="$xdg/home" XDG_DATA_DIRS="$xdg/data:/usr/share" \
            run env -u XDG_CURRENT_DESKTOP xdg-mime query filetype "${file%%:*}")
        [ "$type" = "${file#*:}" ] || fail "$what: ${file%%:*} is $type, not ${file#*:}"
    done
}

run cmake --install "$build" --prefix "$work/prefix" >/dev/null || fail "cmake --install failed"
check_tree "$work/prefix" install
(cd "$work" && run cpack --config "$build/CPackConfig.cmake" -B "$work/deb" >/dev/null) || fail "cpack failed"
deb=$(ls "$work"/deb/*.deb 2>/dev/null | head -n1)
if [ -z "$deb" ]; then
    fail "no .deb was built"
else
    dpkg-deb -x "$deb" "$work/root" || fail "dpkg-deb -x failed"
    check_tree "$work/root/usr" package
    # Debian's shared-mime-info and desktop-file-utils rebuild their caches through dpkg
    # triggers on these folders; a maintainer script calling them would be redundant.
    dpkg-deb -e "$deb" "$work/control"
    ! ls "$work/control" | grep -qE '^(postinst|postrm)$' || fail "the package carries maintainer scripts"
fi
[ "$failures" -eq 0 ] || exit 1
echo "desktop checks passed"
