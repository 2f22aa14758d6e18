#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test. No display is needed.
# dictzip.exe is cross-built and tested under wine too; LEXPACK_WINDOWS=0 leaves it out.
set -euo pipefail
cd "$(dirname "$0")/.."
export LEXPACK_WINDOWS="${LEXPACK_WINDOWS:-1}"
scripts/install-deps.sh
scripts/check-format.sh
scripts/build.sh
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
ctest --test-dir "${LEXPACK_BUILD_DIR:-build}" --output-on-failure --parallel "$(nproc)" --timeout 600
if [ "$LEXPACK_WINDOWS" = 1 ]; then
    scripts/test-windows.sh
fi
