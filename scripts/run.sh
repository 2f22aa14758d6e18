#!/usr/bin/env bash
# Installs what is needed, builds, and starts Lexpack.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "lexpack: no display to open a window on (DISPLAY is not set); to run under a virtual display: xvfb-run -a scripts/run.sh" >&2
    exit 1
fi
exec "${LEXPACK_BUILD_DIR:-build}/bin/lexpack" "$@"
