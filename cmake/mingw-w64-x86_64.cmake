# Cross-building the Windows editor (x86_64) on Debian with mingw-w64:
#   cmake -S . -B build-windows -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# (scripts/build-windows.sh does this.) The POSIX thread model of the
# compilers gives std::thread and std::mutex, which the "win32" model lacks.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KESTRA_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KESTRA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTRA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KESTRA_MINGW_TRIPLE}-windres)

# Libraries and headers come from the MinGW tree (and from the folders added
# to CMAKE_FIND_ROOT_PATH, such as the prefix of the MinGW libpng and libjpeg);
# programs (juceaide, ImageMagick, makensis) from the build machine.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${KESTRA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under Wine: CTest, gtest_discover_tests and
# try_run go through it.
find_program(KESTRA_WINE wine)
if(KESTRA_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KESTRA_WINE})
endif()

# Every program links the C and C++ runtimes statically, so that it needs
# only the DLLs every Windows has.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# JUCE's larger translation units exceed the default COFF section count.
set(CMAKE_C_FLAGS_INIT "-Wa,-mbig-obj")
set(CMAKE_CXX_FLAGS_INIT "-Wa,-mbig-obj")

# JUCE's CMake package (with its juceaide, a program of the build machine)
# is not under the MinGW tree: it is named directly.
file(GLOB KESTRA_HOST_JUCE_DIRS /usr/lib/*/cmake/JUCE-7.*)
if(KESTRA_HOST_JUCE_DIRS AND NOT JUCE_DIR)
    list(GET KESTRA_HOST_JUCE_DIRS 0 KESTRA_HOST_JUCE_DIR)
    set(JUCE_DIR ${KESTRA_HOST_JUCE_DIR} CACHE PATH "JUCE's CMake package")
endif()

# The MinGW builds of libpng and libjpeg (scripts/windows/build-image-libs.sh).
if(KESTRA_MINGW_DEPS)
    list(APPEND CMAKE_FIND_ROOT_PATH ${KESTRA_MINGW_DEPS})
endif()
