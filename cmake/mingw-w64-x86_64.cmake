# Cross build for 64-bit Windows with Debian's mingw-w64 (packages mingw-w64 and
# libz-mingw-w64-dev). Alone, with -DLEXPACK_BUILD_GUI=OFF, it builds dictzip.exe and
# its tests, which CTest runs under wine when wine is installed:
#
#     cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DLEXPACK_BUILD_GUI=OFF
#
# With a Qt for mingw-w64 it builds lexpack.exe as well, through Qt's toolchain file,
# which loads this one (scripts/test-windows.sh does this):
#
#     cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=<qt>/lib/cmake/Qt6/qt.toolchain.cmake \
#           -DQT_CHAINLOAD_TOOLCHAIN_FILE=$PWD/cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(triple x86_64-w64-mingw32)
# The -posix compilers: std::thread needs the posix thread model in GCC 12.
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# dictzip.exe and the compressor's tests link the compiler's runtime in (-static on
# their targets); lexpack.exe shares mingw's runtime DLLs with the Qt DLLs beside it.
set(ZLIB_USE_STATIC_LIBS ON)

# Tests run under wine, in a prefix of their own inside the build folder;
# wine's first start there creates it. mscoree and mshtml are switched off so
# that wine does not offer to install Mono and Gecko, which nothing here needs.
find_program(LEXPACK_WINE NAMES wine wine64 PATHS /usr/lib/wine)
find_program(LEXPACK_WINESERVER NAMES wineserver wineserver64 PATHS /usr/lib/wine)
if(LEXPACK_WINE)
    set(LEXPACK_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    # Wine maps Windows names to Unix ones through the locale: UTF-8, so that any name round-trips.
    set(CMAKE_CROSSCOMPILING_EMULATOR env LC_ALL=C.UTF-8 WINEPREFIX=${LEXPACK_WINEPREFIX} WINEDEBUG=-all
        WINEDLLOVERRIDES=mscoree,mshtml= ${LEXPACK_WINE})
endif()
