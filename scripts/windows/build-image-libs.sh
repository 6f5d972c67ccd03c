#!/usr/bin/env bash
# Builds static MinGW-w64 libpng and libjpeg (libjpeg-turbo) from Debian's own
# source packages and prints the prefix they were installed into. Debian's
# JUCE decodes pictures with the system libpng and libjpeg, and Debian has no
# MinGW builds of them.
#
# The result is cached under $KESTRA_MINGW_DEPS_CACHE (default
# ~/.cache/kestra-editor/mingw-w64), one folder per source version and
# compiler version; a second run only prints the folder. The sources are
# fetched with apt from the deb-src twin of the machine's own Debian sources,
# through a private list folder, so the machine's apt setup is left alone.
set -euo pipefail
cd "$(dirname "$0")/../.."
repo="$PWD"
toolchain="$repo/cmake/mingw-w64-x86_64.cmake"

cache_root="${KESTRA_MINGW_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kestra-editor/mingw-w64}"
work="$cache_root/apt"
mkdir -p "$work/lists/partial"

# deb-src entries for the suites the machine installs from.
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sources="$work/deb-src.sources"
    sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$sources"
else
    sources="$work/deb-src.list"
    grep -h '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
        sed 's/^deb /deb-src /' >"$sources"
fi
apt_sources=(-o "Dir::Etc::SourceList=$sources")
apt_options=("${apt_sources[@]}" -o Dir::Etc::SourceParts=/dev/null
    -o "Dir::State::Lists=$work/lists" -o Debug::NoDropPrivs=1 -o APT::Sandbox::User=root)

# The package lists are refreshed at most once a day.
if [ -z "$(find "$work/lists" -maxdepth 1 -name '*Sources*' -mtime -1 2>/dev/null | head -1)" ]; then
    apt-get "${apt_options[@]}" update -qq >&2
fi

# The newest version whose files the mirror still has (a security update's
# list can name a version before its files arrive).
versions_of() {
    apt-cache "${apt_options[@]}" showsrc "$1" | sed -n 's/^Version: //p' | sort -urV
}
png_versions=$(versions_of libpng1.6)
jpeg_versions=$(versions_of libjpeg-turbo)
[ -n "$png_versions" ] && [ -n "$jpeg_versions" ] || {
    echo "No source package for libpng1.6 or libjpeg-turbo" >&2
    exit 1
}

compiler_version=$(x86_64-w64-mingw32-gcc-posix -dumpfullversion)
stamp="png-$(head -1 <<<"$png_versions")_jpeg-$(head -1 <<<"$jpeg_versions")_gcc-$compiler_version"
stamp="${stamp//:/-}"
prefix="$cache_root/$stamp"
if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

src="$cache_root/src"
rm -rf "$src" "$prefix"
mkdir -p "$src"

# Fetches and unpacks (with Debian's patches) the newest version available.
fetch() {
    local package=$1 versions=$2 version
    for version in $versions; do
        if (cd "$src" && apt-get "${apt_options[@]}" source -qq "$package=$version" >&2 2>&1); then
            return 0
        fi
        echo "($package $version not on the mirror, trying an older one)" >&2
    done
    return 1
}
fetch libpng1.6 "$png_versions"
fetch libjpeg-turbo "$jpeg_versions"
png_src=$(find "$src" -maxdepth 1 -type d -name 'libpng*' | head -1)
jpeg_src=$(find "$src" -maxdepth 1 -type d -name 'libjpeg-turbo*' | head -1)

jobs="${KESTRA_JOBS:-2}"
common=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_CROSSCOMPILING_EMULATOR=
    -DCMAKE_C_COMPILER_LAUNCHER="${KESTRA_CCACHE_LAUNCHER:-}" -Wno-dev)

cmake -S "$png_src" -B "$src/build-png" "${common[@]}" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_EXECUTABLES=OFF -DPNG_TESTS=OFF \
    -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include \
    -DZLIB_LIBRARY=/usr/x86_64-w64-mingw32/lib/libz.a >/dev/null
ninja -C "$src/build-png" -j "$jobs" install >/dev/null

# No SIMD (it needs nasm, and the editor decodes a few small pictures).
cmake -S "$jpeg_src" -B "$src/build-jpeg" "${common[@]}" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF >/dev/null
ninja -C "$src/build-jpeg" -j "$jobs" install >/dev/null

# JUCE defines JPEG_INTERNALS before including jpeglib.h, which then wants
# the library's internal header too.
cp "$jpeg_src/jpegint.h" "$prefix/include/"
# jconfig.h declares `boolean` only when the Windows RPC header has not been
# read (`#ifndef __RPCNDR_H__`). JUCE includes jpeglib.h inside a namespace,
# at a point where that header may or may not have been read, so the type
# would differ between the library and JUCE. Declared always, as the
# Windows header declares it (unsigned char): both agree everywhere.
python3 - "$prefix/include/jconfig.h" <<'EOF'
import re, sys
path = sys.argv[1]
text = open(path).read()
fixed = re.sub(r"#ifndef __RPCNDR_H__[^\n]*\n(typedef unsigned char boolean;)\n#endif[^\n]*\n",
               r"\1\n", text)
if fixed == text and "typedef unsigned char boolean;" not in text:
    sys.exit("jconfig.h: the declaration of boolean was not found")
open(path, "w").write(fixed)
EOF

# The folder is named after the newest versions listed; these were built.
(cd "$src" && ls -1 ./*.dsc) >"$prefix/VERSIONS"
rm -rf "$src"
touch "$prefix/.complete"
echo "$prefix"
