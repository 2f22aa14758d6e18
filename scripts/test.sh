#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test. No display is needed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
ctest --test-dir "${LEXPACK_BUILD_DIR:-build}" --output-on-failure --parallel "$(nproc)" --timeout 600
