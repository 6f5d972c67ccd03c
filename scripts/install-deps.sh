#!/usr/bin/env bash
# Installs, with apt, the Debian packages that building, running and testing
# the editor need, and any further packages named as arguments; packages
# already present are left alone.
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ pkg-config ccache juce-modules-source
    # tests and benchmarks
    libgtest-dev libbenchmark-dev
    # running and testing the window without a screen, screenshots, clicks
    xvfb xauth imagemagick xdotool
    # the end-to-end run (tests/e2e/)
    python3-pytest python3-xlib
    # "Arial" resolves to its metric twin where Arial itself is missing
    fonts-liberation
    # regenerating the pictures
    librsvg2-bin python3
)
if [ "${KESTRA_WITH_FUZZERS:-0}" = 1 ]; then
    packages+=(clang libclang-rt-14-dev)
fi
# building the Debian package (dpkg-shlibdeps) and checking it: lintian, the
# AppStream metainfo (appstreamcli), the desktop entry (desktop-file-validate)
# and the manual page (man, from man-db)
if [ "${KESTRA_WITH_PACKAGING:-0}" = 1 ]; then
    packages+=(dpkg-dev lintian appstream desktop-file-utils man-db)
fi
# the format check (scripts/check-format.sh)
if [ "${KESTRA_WITH_FORMAT:-0}" = 1 ]; then
    packages+=(clang-format git)
fi

packages+=("$@")

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
