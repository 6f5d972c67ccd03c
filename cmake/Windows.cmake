# The Windows build, cross-compiled with mingw-w64 (cmake/mingw-w64-x86_64.cmake,
# scripts/build-windows.sh). Included by the top-level CMakeLists.txt for
# Windows only; the Linux build never reads this file.

# Optimised as the Linux build is (-O2): at -O3 g++ 12 reports false
# "may be used uninitialized" warnings in tables of structs holding strings.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG")

# The MinGW zlib is linked statically, like libpng and libjpeg, so that the
# program needs no DLL beside it.
set(ZLIB_USE_STATIC_LIBS ON)

# Debian has no MinGW GoogleTest: it is built from the sources libgtest-dev
# installs, as static libraries (its project names them GTest::gtest and
# GTest::gtest_main, as FindGTest would).
if(KESTRA_BUILD_TESTS)
    set(KESTRA_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's sources")
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${KESTRA_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # Test programs run under Wine (CMAKE_CROSSCOMPILING_EMULATOR). Their
    # tests are listed when CTest runs, not after each link, so that a
    # build needs no Wine.
    set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
endif()

# The program's icon, for the window, the Explorer and the installer: one
# .ico made from the three pictures of the application icon.
find_program(KESTRA_IMAGEMAGICK_CONVERT convert REQUIRED)
set(KESTRA_WINDOWS_ICON ${CMAKE_BINARY_DIR}/kestra-editor.ico)
set(kestra_icon_pictures
    ${CMAKE_SOURCE_DIR}/resources/images/icon_16x16.png
    ${CMAKE_SOURCE_DIR}/resources/images/icon_48x48.png
    ${CMAKE_SOURCE_DIR}/resources/images/icon_256x256.png)
add_custom_command(
    OUTPUT ${KESTRA_WINDOWS_ICON}
    COMMAND ${KESTRA_IMAGEMAGICK_CONVERT}
            ${CMAKE_SOURCE_DIR}/resources/images/icon_16x16.png
            "(" ${CMAKE_SOURCE_DIR}/resources/images/icon_48x48.png -resize 32x32 ")"
            ${CMAKE_SOURCE_DIR}/resources/images/icon_48x48.png
            ${CMAKE_SOURCE_DIR}/resources/images/icon_256x256.png
            ${KESTRA_WINDOWS_ICON}
    DEPENDS ${kestra_icon_pictures}
    COMMENT "Making the Windows icon"
    VERBATIM)

# Called for the editor once its target exists: a GUI program (no console
# window) with the icon and version information of resources/windows, and
# stripped.
function(kestra_windows_program target)
    configure_file(${CMAKE_SOURCE_DIR}/resources/windows/KestraEditor.rc.in
                   ${CMAKE_BINARY_DIR}/KestraEditor.rc @ONLY)
    set_source_files_properties(${CMAKE_BINARY_DIR}/KestraEditor.rc PROPERTIES
        OBJECT_DEPENDS ${KESTRA_WINDOWS_ICON})
    target_sources(${target} PRIVATE ${CMAKE_BINARY_DIR}/KestraEditor.rc)
    set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
    target_link_options(${target} PRIVATE -s)
endfunction()
