#!/usr/bin/env bash
# Installs, with apt, what the Windows build, its tests under Wine and its
# installer need beyond the Linux build's packages (scripts/install-deps.sh);
# packages already present are left alone.
set -euo pipefail
cd "$(dirname "$0")/../.."

packages=(
    # the cross compilers (POSIX threads: std::thread, std::mutex), the
    # Windows headers and libraries, and a MinGW zlib
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
    libz-mingw-w64-dev
    # fetching and unpacking Debian's libpng and libjpeg sources; `file`
    # checks what was built
    dpkg-dev file
    # running the programs and the tests
    wine wine64
    # the installer
    nsis
)

scripts/install-deps.sh "${packages[@]}"
