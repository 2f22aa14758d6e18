#!/usr/bin/env bash
# Installs what is needed, builds, and starts Lexpack.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
exec "${LEXPACK_BUILD_DIR:-build}/bin/lexpack" "$@"
