# What lexpack.exe needs beside it on Windows. A cross-built Qt brings no windeployqt, so the
# build copies the files into the program's folder itself (the program then runs from the
# build folder, under wine as on Windows), the install takes them from the same lists, and
# wixl, where it is found, packs that folder into an installer.
#
# Beside lexpack.exe: dictzip.exe (same output folder), the Qt libraries, the Windows
# platform plugin and the Vista style, the compiler's runtime that Qt and the program share,
# and in translations/ Qt's own catalogues for each language the window speaks.

set(lexpack_libraries $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>)
if(MINGW)
    foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                        OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
        # gcc prints the bare name back when it has no such file.
        if(NOT IS_ABSOLUTE "${found}")
            message(FATAL_ERROR "${CMAKE_CXX_COMPILER} knows no ${dll}")
        endif()
        get_filename_component(found "${found}" REALPATH)
        list(APPEND lexpack_libraries ${found})
    endforeach()
endif()
set(lexpack_platform_plugins $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>)
set(lexpack_style_plugins $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin>)

# Qt's catalogues are the same files on every platform: a cross build takes the host's.
file(GLOB lexpack_ts RELATIVE ${PROJECT_SOURCE_DIR}/translations ${PROJECT_SOURCE_DIR}/translations/lexpack_*.ts)
set(lexpack_qt_catalogues)
foreach(ts ${lexpack_ts})
    string(REGEX REPLACE "^lexpack_(.*)\\.ts$" "qtbase_\\1.qm" qm ${ts})
    find_file(lexpack_${qm} ${qm} NO_CACHE NO_CMAKE_FIND_ROOT_PATH
              PATHS ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_TRANSLATIONS} ${QT_HOST_PATH}/share/qt6/translations)
    if(lexpack_${qm})
        list(APPEND lexpack_qt_catalogues ${lexpack_${qm}})
    else()
        message(WARNING "Qt's ${qm} not found: the Open dialog stays English in that language")
    endif()
endforeach()

set(bin $<TARGET_FILE_DIR:lexpack>)
add_custom_target(lexpack_deploy ALL
    COMMAND ${CMAKE_COMMAND} -E make_directory ${bin}/platforms ${bin}/styles ${bin}/translations
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${lexpack_libraries} ${bin}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${lexpack_platform_plugins} ${bin}/platforms
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${lexpack_style_plugins} ${bin}/styles
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${lexpack_qt_catalogues} ${bin}/translations
    COMMENT "Putting the Qt libraries, plugins, runtime and catalogues beside lexpack.exe"
    COMMAND_EXPAND_LISTS VERBATIM)
add_dependencies(lexpack lexpack_deploy)

install(TARGETS lexpack RUNTIME DESTINATION bin)
install(FILES ${lexpack_libraries} DESTINATION bin)
install(FILES ${lexpack_platform_plugins} DESTINATION bin/platforms)
install(FILES ${lexpack_style_plugins} DESTINATION bin/styles)
install(FILES ${lexpack_qt_catalogues} DESTINATION bin/translations)

# The installer, lexpack-<version>-x64.msi in the build folder: the installed tree, staged in
# the build folder, listed by wixl-heat and packed by wixl with the shortcuts and registry
# entries of lexpack.wxs.in.
find_program(LEXPACK_WIXL wixl)
find_program(LEXPACK_WIXL_HEAT wixl-heat)
if(LEXPACK_WIXL AND LEXPACK_WIXL_HEAT)
    set(msi ${CMAKE_BINARY_DIR}/lexpack-${PROJECT_VERSION}-x64.msi)
    set(stage ${CMAKE_BINARY_DIR}/msi-stage)
    configure_file(${PROJECT_SOURCE_DIR}/src/app/lexpack.wxs.in ${CMAKE_BINARY_DIR}/lexpack.wxs @ONLY)
    # wixl finds an icon only by a relative path.
    file(RELATIVE_PATH images ${stage} ${PROJECT_SOURCE_DIR}/images)
    add_custom_command(OUTPUT ${msi}
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
        COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${stage}
        COMMAND sh -c "cd '${stage}' && find bin -type f | sort | '${LEXPACK_WIXL_HEAT}' -p bin/ --var var.Bin --win64 \
                       --directory-ref INSTALLDIR --component-group Files > '${CMAKE_BINARY_DIR}/lexpack-files.wxs'"
        COMMAND ${CMAKE_COMMAND} -E chdir ${stage} ${LEXPACK_WIXL} --arch x64 -D Bin=bin -D Win64=yes -D Images=${images}
                -o ${msi} ${CMAKE_BINARY_DIR}/lexpack.wxs ${CMAKE_BINARY_DIR}/lexpack-files.wxs
        DEPENDS ${CMAKE_BINARY_DIR}/lexpack.wxs lexpack dictzip lexpack_deploy
        COMMENT "Building the installer ${msi}"
        VERBATIM)
    add_custom_target(lexpack_msi ALL DEPENDS ${msi})
    set(LEXPACK_MSI ${msi} CACHE INTERNAL "The Windows installer")
else()
    message(STATUS "wixl not found: no Windows installer is built")
endif()
