#!/usr/bin/env bash
# Cross-builds Lexpack for 64-bit Windows with mingw-w64 into ./build-windows (or
# $LEXPACK_WINDOWS_BUILD_DIR) and runs its tests under wine.
#
# dictzip.exe is always built and tested. The window, lexpack.exe, needs a Qt 6 for mingw-w64:
# LEXPACK_QT_WINDOWS names its prefix folder, or a .tar.xz of one (checked against the
# SHA256SUMS beside it, unpacked into the build folder). scripts/build-qt-windows.sh builds one
# (about an hour). With it, lexpack.exe gets its DLLs beside it, the window's tests run under
# wine, and the installer lexpack-<version>-x64.msi is left in the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
# Wine maps Windows file names to Unix ones through the locale; the tests use names
# outside any code page, which only a UTF-8 locale carries.
export LC_ALL=C.UTF-8
LEXPACK_WINDOWS=1 scripts/install-deps.sh
build="${LEXPACK_WINDOWS_BUILD_DIR:-build-windows}"
mkdir -p "$build"

qt="${LEXPACK_QT_WINDOWS:-}"
toolchain=$PWD/cmake/mingw-w64-x86_64.cmake
options=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DLEXPACK_BUILD_GUI=OFF)
if [ -z "$qt" ]; then
    echo "Windows window not tested: LEXPACK_QT_WINDOWS names no Qt for mingw-w64 (scripts/build-qt-windows.sh builds one in about an hour); dictzip.exe only."
else
    if [ -f "$qt" ]; then
        sums="$(dirname "$qt")/SHA256SUMS" name=$(basename "$qt")
        if [ -f "$sums" ]; then
            grep -F "  $name" "$sums" | (cd "$(dirname "$qt")" && sha256sum --check --quiet --strict) ||
                { echo "$qt does not match $sums"; exit 1; }
        fi
        # Unpacked once per tarball: the stamp holds the checksum of the one unpacked.
        sum=$(sha256sum <"$qt") unpacked="$build/qt-windows"
        if [ "$(cat "$unpacked.sha256" 2>/dev/null)" != "$sum" ]; then
            rm -rf "$unpacked" "$build/CMakeCache.txt" && mkdir -p "$unpacked"
            tar -C "$unpacked" -xJf "$qt"
            echo "$sum" >"$unpacked.sha256"
        fi
        qt=$(find "$unpacked" -path '*/lib/cmake/Qt6/qt.toolchain.cmake' | head -n1)
        qt=${qt%/lib/cmake/Qt6/qt.toolchain.cmake}
    fi
    [ -f "$qt/lib/cmake/Qt6/qt.toolchain.cmake" ] || { echo "no Qt for mingw-w64 in $LEXPACK_QT_WINDOWS"; exit 1; }
    qt=$(cd "$qt" && pwd)
    # Qt's toolchain file finds the Qt, and loads ours for the compilers.
    toolchain=$qt/lib/cmake/Qt6/qt.toolchain.cmake
    options=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DQT_CHAINLOAD_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake"
        -DLEXPACK_BUILD_GUI=ON)
fi

# A build folder set up with another toolchain is set up afresh.
if [ -f "$build/CMakeCache.txt" ] && ! grep -qxF "CMAKE_TOOLCHAIN_FILE:FILEPATH=$toolchain" "$build/CMakeCache.txt"; then
    rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
fi
generator=()
[ -f "$build/CMakeCache.txt" ] || generator=(-G Ninja)
cmake -S . -B "$build" "${generator[@]}" "${options[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DLEXPACK_WERROR="${LEXPACK_WERROR:-OFF}" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
# CTest starts the wine prefix and stops its server; this stops it also when a run is cut short.
trap 'WINEPREFIX="$PWD/$build/wineprefix" wineserver -k 2>/dev/null || true' EXIT
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" --timeout 600
