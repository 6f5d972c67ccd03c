#!/usr/bin/env bash
# Cross-builds the Windows editor (KestraEditor.exe) and its test programs
# into build-windows/ (or $KESTRA_WINDOWS_BUILD_DIR) with Debian's mingw-w64,
# and prints the program's path last. Installs what is missing with apt and
# builds the MinGW libpng and libjpeg once (cached, see
# scripts/windows/build-image-libs.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/windows/install-deps.sh

build_dir="${KESTRA_WINDOWS_BUILD_DIR:-build-windows}"
deps=$(scripts/windows/build-image-libs.sh)

cmake -S . -B "$build_dir" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE="${KESTRA_BUILD_TYPE:-Release}" \
    -DKESTRA_MINGW_DEPS="$deps" \
    -DKESTRA_BUILD_BENCHMARKS=OFF "$@" >/dev/null
ninja -C "$build_dir" -j "${KESTRA_JOBS:-2}"

exe="$PWD/$build_dir/KestraEditor.exe"
file "$exe" | grep -q 'PE32+ executable (GUI) x86-64' || {
    echo "Not a 64-bit Windows GUI program: $exe" >&2
    exit 1
}
echo "$exe"
