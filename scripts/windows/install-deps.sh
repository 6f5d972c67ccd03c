#!/usr/bin/env bash
# Installs, with apt, what the Windows build, its tests under Wine and its
# installer need beyond the Linux build's packages (scripts/install-deps.sh);
# packages already present are left alone.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-deps.sh

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

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
