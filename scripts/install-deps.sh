#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Lexpack need.
# Quiet and quick when everything is already there.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang-format
    qt6-base-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools libgl-dev
    zlib1g-dev libdeflate-dev libglib2.0-dev
    # tests: a real window under a virtual display, a peer gzip/dictzip, fuzzing
    xvfb xauth xdotool imagemagick x11-utils gzip dictzip pigz clang libclang-rt-dev strace
    fonts-dejavu-core procps desktop-file-utils file dpkg-dev
    # Qt's own catalogues; the file-type checks of the desktop integration
    qt6-translations-l10n shared-mime-info xdg-utils libfile-mimeinfo-perl
    # tests: real dictzip readers, a dictionary server and client and a StarDict lookup
    dictd dict sdcv
    # tests: a freedesktop.org Trash tool that lists and restores what the window trashed
    trash-cli
)
if [ "${LEXPACK_WINDOWS:-0}" = 1 ]; then
    # the Windows installer is built with wixl and installed under wine
    packages+=(mingw-w64 libz-mingw-w64-dev wine64 wine wixl)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
