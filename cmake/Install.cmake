# `cmake --install` puts the program, its desktop entry, its three icons and
# its copyright notes in the usual places; `cpack -G DEB` (scripts/package.sh)
# builds a Debian package of the same.
include(GNUInstallDirs)

install(TARGETS KestraEditor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES resources/kestra-editor.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 48 256)
    install(FILES resources/images/icon_${size}x${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME kestra-editor.png)
endforeach()
install(FILES resources/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kestra-editor)
# The project file type (*.tkp) for the desktop's file managers; the package
# manager's trigger of shared-mime-info rebuilds the type database.
install(FILES resources/kestra-editor-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME kestra-editor.xml)

# The package's version is the program's ("1.00", the window's title and
# getApplicationVersion); a rebuild of the same version raises the release.
set(KESTRA_PACKAGE_VERSION "1.00")
set(KESTRA_PACKAGE_RELEASE "1" CACHE STRING "Debian revision of the package")

set(CPACK_PACKAGE_NAME "kestra-editor")
set(CPACK_PACKAGE_VENDOR "Kestra Editor developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Editor for Kestra tonewheel organs over MIDI")
set(CPACK_PACKAGE_DESCRIPTION
    "Kestra Editor edits the 99 sound and setting parameters of the Kestra family\n\
of tonewheel organs (Kestra, Kestra Brio, Kestra Mira, Kestra Tavo) over MIDI\n\
System Exclusive, stores and resets the instrument, saves and opens project\n\
files (*.tkp) and uploads tonewheel files (*.ktw) into the instrument's\n\
alternative tonewheel slots.")
set(CPACK_PACKAGE_VERSION "${KESTRA_PACKAGE_VERSION}")
set(CPACK_PACKAGE_CONTACT "Kestra Editor developers <maintainers@kestra-editor.invalid>")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_RELEASE "${KESTRA_PACKAGE_RELEASE}")
set(CPACK_DEBIAN_PACKAGE_SECTION "sound")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
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
