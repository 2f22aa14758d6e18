# dictzip.exe's tests, included from CMakeLists.txt on Windows builds. The driver
# runs the program the Windows way and finds it by its place in the build tree.
add_executable(dictzip_windows_tests windows_tests.cpp check.h driver.h)
file(RELATIVE_PATH dictzip_relative ${CMAKE_RUNTIME_OUTPUT_DIRECTORY} ${CMAKE_BINARY_DIR}/bin/dictzip.exe)
target_compile_definitions(dictzip_windows_tests PRIVATE DICTZIP_RELATIVE="${dictzip_relative}")
# The stop event's name comes from the header the window and the tool share.
target_include_directories(dictzip_windows_tests PRIVATE ${PROJECT_SOURCE_DIR}/tool/libdictzip)
add_dependencies(dictzip_windows_tests dictzip)
add_test(NAME dictzip_windows COMMAND dictzip_windows_tests)
set_tests_properties(dictzip_windows PROPERTIES LABELS "tool;windows" TIMEOUT 300)

# Cross-built on Linux, the tests run under wine (the toolchain file makes wine
# the emulator), in a prefix that one test creates first and another stops last.
if(CMAKE_CROSSCOMPILING AND LEXPACK_WINE)
    set(wine_environment WINEPREFIX=${LEXPACK_WINEPREFIX} WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=)
    add_test(NAME wine_start COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} wineboot --init)
    add_test(NAME wine_stop COMMAND sh -c "${LEXPACK_WINESERVER} -k; exit 0")
    set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 120)
    set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine ENVIRONMENT "${wine_environment}")
    set_tests_properties(dictzip_format dictzip_windows PROPERTIES FIXTURES_REQUIRED wine)

    add_test(NAME dictzip_wine_identity
             COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/debian_identity.sh $<TARGET_FILE:dictzip>)
    set_tests_properties(dictzip_wine_identity PROPERTIES
        LABELS "tool;windows" TIMEOUT 300 FIXTURES_REQUIRED wine
        ENVIRONMENT "${wine_environment};LEXPACK_WINE=${LEXPACK_WINE}")
endif()
