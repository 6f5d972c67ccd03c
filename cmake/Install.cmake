# `cmake --install` puts the program, its desktop entry, its AppStream
# metainfo, its three icons, its manual page and its documentation in the
# usual places; `cpack -G DEB` (scripts/package.sh) builds a Debian package of
# the same.
include(GNUInstallDirs)

# The project's web address: the AppStream homepage and the base of its
# screenshots' addresses (docs/screenshots/*.png are published under
# <address>/screenshots/). The project has no public address yet: .invalid,
# as in the maintainer's address below, is never a real one.
set(KESTRA_HOMEPAGE "https://kestra-editor.invalid" CACHE STRING
    "Web address of the project: AppStream homepage and screenshots")
# The AppStream component id: the reverse of that address, then the program.
set(KESTRA_APPSTREAM_ID "invalid.kestra_editor.KestraEditor")
set(KESTRA_MAINTAINER "Kestra Editor developers <maintainers@kestra-editor.invalid>")

# The package's version is the program's (PROJECT_VERSION, "1.00"); a rebuild
# of the same version raises the Debian revision.
set(KESTRA_PACKAGE_VERSION "${PROJECT_VERSION}")
set(KESTRA_PACKAGE_RELEASE "1" CACHE STRING "Debian revision of the package")

# ---------------------------------------------------------------------------
# Files made from templates: the metainfo, the manual page (gzipped, as Debian
# wants it) and the Debian changelog, whose date is the release date.
set(kestra_generated ${CMAKE_CURRENT_BINARY_DIR}/install)
configure_file(resources/kestra-editor.metainfo.xml.in
               ${kestra_generated}/${KESTRA_APPSTREAM_ID}.metainfo.xml @ONLY)
configure_file(resources/KestraEditor.1.in ${kestra_generated}/KestraEditor.1 @ONLY)
configure_file(resources/kestra-cli.1.in ${kestra_generated}/kestra-cli.1 @ONLY)
execute_process(COMMAND date -u -R -d "${KESTRA_RELEASE_DATE} 12:00"
                OUTPUT_VARIABLE KESTRA_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE date_result)
if(NOT date_result EQUAL 0)
    message(FATAL_ERROR "KESTRA_RELEASE_DATE \"${KESTRA_RELEASE_DATE}\" is not a date (YYYY-MM-DD)")
endif()
configure_file(resources/changelog.Debian.in ${kestra_generated}/changelog.Debian @ONLY)

# gzip -9n: the best compression and no name or time stamp in the header, so
# that the same sources give the same package.
find_program(KESTRA_GZIP gzip REQUIRED)
foreach(name KestraEditor.1 kestra-cli.1 changelog.Debian)
    add_custom_command(OUTPUT ${kestra_generated}/${name}.gz
        COMMAND ${KESTRA_GZIP} -9n -c ${name} > ${name}.gz
        DEPENDS ${kestra_generated}/${name}
        WORKING_DIRECTORY ${kestra_generated}
        COMMENT "Compressing ${name}"
        VERBATIM)
endforeach()
add_custom_target(kestra_install_files ALL
    DEPENDS ${kestra_generated}/KestraEditor.1.gz ${kestra_generated}/kestra-cli.1.gz
            ${kestra_generated}/changelog.Debian.gz)

# ---------------------------------------------------------------------------
set(kestra_doc ${CMAKE_INSTALL_DATADIR}/doc/kestra-editor)
install(TARGETS KestraEditor kestra-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripped install (the package) also drops the .comment and .note sections,
# as Debian's dh_strip does.
set(kestra_strip_sections [[
    if(CMAKE_INSTALL_DO_STRIP)
        foreach(program KestraEditor kestra-cli)
            execute_process(COMMAND "@CMAKE_STRIP@" --remove-section=.comment --remove-section=.note
                                    "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/@CMAKE_INSTALL_BINDIR@/${program}"
                            COMMAND_ERROR_IS_FATAL ANY)
        endforeach()
    endif()
]])
string(CONFIGURE "${kestra_strip_sections}" kestra_strip_sections @ONLY)
install(CODE "${kestra_strip_sections}")
install(FILES resources/kestra-editor.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${kestra_generated}/${KESTRA_APPSTREAM_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 48 256)
    install(FILES resources/images/icon_${size}x${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME kestra-editor.png)
endforeach()
install(FILES ${kestra_generated}/KestraEditor.1.gz ${kestra_generated}/kestra-cli.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# kestra-cli's completion, where bash-completion looks for it by the program's name.
install(FILES resources/kestra-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME kestra-cli)
install(FILES resources/copyright ${kestra_generated}/changelog.Debian.gz DESTINATION ${kestra_doc})
# Every option of KESTRA_EDITOR_SIMULATOR, as the manual page says.
install(FILES sim/README.md DESTINATION ${kestra_doc} RENAME simulator.md)
# The project file type (*.tkp) for the desktop's file managers; the package
# manager's trigger of shared-mime-info rebuilds the type database.
install(FILES resources/kestra-editor-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME kestra-editor.xml)

# ---------------------------------------------------------------------------
set(CPACK_PACKAGE_NAME "kestra-editor")
set(CPACK_PACKAGE_VENDOR "Kestra Editor developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Editor for Kestra tonewheel organs over MIDI")
set(CPACK_PACKAGE_DESCRIPTION
    "Kestra Editor edits the 99 sound and setting parameters of the Kestra family\n\
of tonewheel organs (Kestra, Kestra Brio, Kestra Mira, Kestra Tavo) over MIDI\n\
System Exclusive, stores and resets the instrument, saves and opens project\n\
files (*.tkp) and uploads tonewheel files (*.ktw) into the instrument's\n\
alternative tonewheel slots. kestra-cli does the same from a terminal or a\n\
script, with no display: backup, restore, get, set, store, reset, upload.")
set(CPACK_PACKAGE_VERSION "${KESTRA_PACKAGE_VERSION}")
set(CPACK_PACKAGE_CONTACT "${KESTRA_MAINTAINER}")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_RELEASE "${KESTRA_PACKAGE_RELEASE}")
set(CPACK_DEBIAN_PACKAGE_SECTION "sound")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${KESTRA_HOMEPAGE}/")
# The libraries the program links (ALSA, freetype, libpng, libjpeg, zlib, the
# C++ runtime) are found by dpkg-shlibdeps (from dpkg-dev). JUCE opens the X11
# libraries itself at run time, so they are named here: without libX11 and
# libXext no window opens; XRandR, Xinerama, Xcursor and XRender give screen
# sizes, mouse cursors and smooth drawing. The window's fonts are Arial, which
# resolves to Liberation Sans where Arial is not installed: without either,
# every text of the window would be missing. JUCE finds the font folders in
# /etc/fonts/fonts.conf (fontconfig-config), which a fresh machine may lack.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(kestra_runtime_packages
    libx11-6 libxext6 libxrandr2 libxinerama1 libxcursor1 libxrender1
    fontconfig-config "fonts-liberation | fonts-liberation2")
string(JOIN ", " CPACK_DEBIAN_PACKAGE_DEPENDS ${kestra_runtime_packages})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
