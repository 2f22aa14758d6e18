#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test. No display is needed.
# dictzip.exe is cross-built and tested under wine too; LEXPACK_WINDOWS=0 leaves it out.
set -euo pipefail
cd "$(dirname "$0")/.."
export LEXPACK_WINDOWS="${LEXPACK_WINDOWS:-1}"
# Warnings are errors here (scripts/build.sh and scripts/run.sh alone stay lenient).
export LEXPACK_WERROR="${LEXPACK_WERROR:-ON}"
scripts/install-deps.sh
scripts/check-format.sh
scripts/build.sh
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
ctest --test-dir "${LEXPACK_BUILD_DIR:-build}" --output-on-failure --parallel "$(nproc)" --timeout 600

# The thread pool and the parallel compress and decompress paths once more, under
# ThreadSanitizer: a compressor-only build of the tests labelled `threads`. Any
# report fails the run.
tsan="${LEXPACK_TSAN_BUILD_DIR:-build-tsan}"
generator=()
[ -f "$tsan/CMakeCache.txt" ] || generator=(-G Ninja)
cmake -S . -B "$tsan" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLEXPACK_BUILD_GUI=OFF \
    -DLEXPACK_SANITIZE=thread -DLEXPACK_WERROR="$LEXPACK_WERROR" >/dev/null
cmake --build "$tsan" --parallel "$(nproc)" --target thread_tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest --test-dir "$tsan" --label-regex '^threads$' --no-tests=error --output-on-failure --timeout 300
if [ "$LEXPACK_WINDOWS" = 1 ]; then
    scripts/test-windows.sh
fi
