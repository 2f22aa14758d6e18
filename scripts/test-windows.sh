#!/usr/bin/env bash
# Cross-builds dictzip.exe for 64-bit Windows with mingw-w64 into ./build-windows
# (or $LEXPACK_WINDOWS_BUILD_DIR) and runs its tests under wine.
set -euo pipefail
cd "$(dirname "$0")/.."
# Wine maps Windows file names to Unix ones through the locale; the tests use names
# outside any code page, which only a UTF-8 locale carries.
export LC_ALL=C.UTF-8
LEXPACK_WINDOWS=1 scripts/install-deps.sh
build="${LEXPACK_WINDOWS_BUILD_DIR:-build-windows}"

generator=()
[ -f "$build/CMakeCache.txt" ] || generator=(-G Ninja)
cmake -S . -B "$build" "${generator[@]}" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DLEXPACK_BUILD_GUI=OFF -DCMAKE_BUILD_TYPE=Release \
    -DLEXPACK_WERROR="${LEXPACK_WERROR:-OFF}" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
# CTest starts the wine prefix and stops its server; this stops it also when a run is cut short.
trap 'WINEPREFIX="$PWD/$build/wineprefix" wineserver -k 2>/dev/null || true' EXIT
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" --timeout 600
