# `cmake --install` puts the program, its desktop entry and its three icons in
# the usual places; `cpack -G DEB` builds a Debian package of the same.
include(GNUInstallDirs)

install(TARGETS KestraEditor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES resources/kestra-editor.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 48 256)
    install(FILES resources/images/icon_${size}x${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME kestra-editor.png)
endforeach()

set(CPACK_PACKAGE_NAME "kestra-editor")
set(CPACK_PACKAGE_VENDOR "Kestra Editor developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Editor for Kestra tonewheel organs over MIDI")
set(CPACK_PACKAGE_VERSION "1.00")
set(CPACK_PACKAGE_CONTACT "Kestra Editor developers <maintainers@kestra-editor.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION "sound")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
