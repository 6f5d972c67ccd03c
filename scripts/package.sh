#!/usr/bin/env bash
# Builds the Debian package of the editor: a Release build in build-pkg/, then
# `cpack -G DEB`, which adds the libraries the program links to the package's
# dependencies (dpkg-shlibdeps, from dpkg-dev). Then a smoke test: the package
# is unpacked into an empty folder, every library the program needs must be
# found, and the unpacked program must start under Xvfb against the simulated
# instrument and still be running, its window open, three seconds later.
# Prints the package's fields and files, and its path last.
#
# Install it with: sudo apt install ./build-pkg/kestra-editor_1.00-1_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-pkg

KESTRA_WITH_PACKAGING=1 scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRA_BUILD_TESTS=OFF \
    -DKESTRA_BUILD_BENCHMARKS=OFF >/dev/null
# (The resource step names its 73 generated files on one line: left out.)
ninja -C "$build" KestraEditor | { grep --line-buffered -v "Generating juce_binarydata" || true; }
rm -f "$build"/kestra-editor_*.deb
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || { cat "$build/cpack.log" >&2; exit 1; }
package=$(ls "$build"/kestra-editor_*.deb)
dpkg-deb --info "$package" | sed -n 's/^ \(Package\|Version\|Depends\|Installed-Size\):/\1:/p'
dpkg-deb --contents "$package" | awk '$NF !~ /\/$/ { print "  " $NF }'

# ---- smoke test of the unpacked package -----------------------------------------------
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$package" "$root"
program="$root/usr/bin/KestraEditor"
if ldd "$program" | grep -q "not found"; then
    ldd "$program" | grep "not found" >&2
    exit 1
fi
XDG_CONFIG_HOME="$root/config" KESTRA_EDITOR_SIMULATOR= \
    xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
        "$1" & editor=$!
        sleep 3
        kill -0 $editor 2>/dev/null || { echo "the program ended within 3 s" >&2; exit 1; }
        xdotool search --name "^Kestra Editor v1.00$" >/dev/null ||
            { echo "no window titled \"Kestra Editor v1.00\"" >&2; kill $editor; exit 1; }
        kill $editor
        wait $editor 2>/dev/null || true' _ "$program"
echo "smoke test: the unpacked program started and showed its window"
echo "$package"
