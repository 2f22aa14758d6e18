#!/usr/bin/env bash
# Configures and builds Lexpack into ./build (or $LEXPACK_BUILD_DIR).
# LEXPACK_WERROR=ON makes compiler warnings errors (the test run does).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${LEXPACK_BUILD_DIR:-build}"
generator=()
[ -f "$build/CMakeCache.txt" ] || generator=(-G Ninja)
cmake -S . -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE="${LEXPACK_BUILD_TYPE:-RelWithDebInfo}" \
    -DLEXPACK_WERROR="${LEXPACK_WERROR:-OFF}" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
