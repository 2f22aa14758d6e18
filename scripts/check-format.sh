#!/usr/bin/env bash
# Checks that the tracked C++ sources are laid out as .clang-format says (the
# window's code in Qt's style, the compressor in its own). With --fix, rewrites them.
set -euo pipefail
cd "$(dirname "$0")/.."
formatter="${CLANG_FORMAT:-clang-format}"
if ! command -v "$formatter" >/dev/null; then
    echo "check-format: $formatter not found (scripts/install-deps.sh installs it)" >&2
    exit 1
fi
mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
if [ "${1:-}" = --fix ]; then
    "$formatter" -i "${files[@]}"
    exit 0
fi
# One run over every file; its complaints name the files, one line each.
status=0
report=$("$formatter" --dry-run -Werror "${files[@]}" 2>&1) || status=$?
mapfile -t unformatted < <(sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' <<<"$report" | sort -u)
if [ $status -ne 0 ] && [ ${#unformatted[@]} -eq 0 ]; then
    echo "$report" >&2
    echo "check-format: $formatter failed" >&2
    exit 1
fi
if [ ${#unformatted[@]} -gt 0 ]; then
    echo "check-format: not laid out as .clang-format says:" >&2
    printf '  %s\n' "${unformatted[@]}" >&2
    echo "See the changes with: $formatter --dry-run FILE; apply them with: scripts/check-format.sh --fix" >&2
    exit 1
fi
