#!/usr/bin/env bash
# Builds the Qt that the Windows window needs: Qt 6's qtbase (Core, Gui, Widgets, Test; the
# Windows, offscreen and minimal platform plugins; the Vista style) for 64-bit Windows with
# Debian's mingw-w64 (posix threads), from Debian's own qt6-base source package, with Debian's
# Qt of the same version as the host tools (moc, rcc, uic). About an hour on 2 cores.
#
# It goes into a cache folder outside the source tree, $LEXPACK_QT_CACHE or
# ~/.cache/lexpack/qt-mingw64, and is reused when it is there. The folder is printed last:
#
#     LEXPACK_QT_WINDOWS=$(scripts/build-qt-windows.sh | tail -n1) scripts/test-windows.sh
#
# Adds a deb-src entry for Debian's archive and installs packages (as root, or with sudo).
set -euo pipefail
cd "$(dirname "$0")/.."
toolchain=$PWD/cmake/mingw-w64-x86_64.cmake
prefix=${LEXPACK_QT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/lexpack/qt-mingw64}
if [ -f "$prefix/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
    echo "$prefix"
    exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
LEXPACK_WINDOWS=1 scripts/install-deps.sh >&2
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    dpkg-dev cmake ninja-build xz-utils qt6-base-dev qt6-base-dev-tools >/dev/null
# The sources of the archive the system installs from.
if ! grep -rqs -e '^Types:.*deb-src' -e '^deb-src ' /etc/apt/sources.list.d/ /etc/apt/sources.list; then
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
            $sudo tee /etc/apt/sources.list.d/debian-src.sources >/dev/null
    else
        sed -n 's/^deb /deb-src /p' /etc/apt/sources.list | $sudo tee /etc/apt/sources.list.d/debian-src.list >/dev/null
    fi
fi
$sudo apt-get update -qq

work=$(mktemp -d "${TMPDIR:-/tmp}/lexpack-qt.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
apt-get source --download-only qt6-base >/dev/null
tar xf qt6-base_*.orig.tar.xz
source=$(echo qtbase-everywhere-src-*)
# Debian's source leaves out the WinTab header (src/3rdparty/wintab): the Windows platform
# plugins are built without the WinTab tablet path (pens still arrive as Windows pointer
# messages). And without OpenGL, Qt 6.4's plugin still reaches for its dynamic-GL helpers once.
plugin=$source/src/plugins/platforms/windows
# shellcheck disable=SC2016 # a CMake variable
sed -i 's|CONDITION QT_FEATURE_tabletevent$|CONDITION QT_FEATURE_tabletevent AND EXISTS "${QtBase_SOURCE_DIR}/src/3rdparty/wintab/wintab.h"|' \
    "$plugin/CMakeLists.txt" "$plugin/../direct2d/CMakeLists.txt"
sed -i 's|QT_CONFIG(tabletevent)|QT_CONFIG(tabletevent) \&\& __has_include(<wintab.h>)|g' "$plugin"/*.cpp "$plugin"/*.h
sed -i 's|QT_CONFIG(dynamicgl)$|QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)|' "$plugin/qwindowswindow.cpp"

# Built into a scratch prefix and moved into the cache when complete, so a build cut short
# leaves nothing that would be taken for a Qt.
cmake -G Ninja -S "$source" -B build -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_INSTALL_PREFIX="$work/qt" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_opengl=OFF -DFEATURE_dbus=OFF \
    -DFEATURE_printsupport=OFF -DFEATURE_vulkan=OFF -DFEATURE_xml=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
    -DFEATURE_system_jpeg=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF >&2
cmake --build build --parallel "$(nproc)" >&2
cmake --install build >&2
mkdir -p "$(dirname "$prefix")"
rm -rf "$prefix" && mv "$work/qt" "$prefix"
echo "$prefix"
