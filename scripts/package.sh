#!/usr/bin/env bash
# Builds the Debian package of the editor and checks it:
#
#   1. a Release build in build-pkg/ (or in the Release tree named by
#      $KESTRA_PACKAGE_BUILD_DIR, which CI points at the tree it has just
#      tested), then `cpack -G DEB`, which adds the libraries the program links
#      to the package's dependencies (dpkg-shlibdeps, from dpkg-dev);
#   2. the desktop entry (desktop-file-validate), the AppStream metainfo
#      (appstreamcli validate) and the manual page (man --warnings);
#   3. lintian on the package: any error fails, and so does any warning that
#      is not one of those the README lists with their reasons
#      (scripts/lintian-accepted, one tag a line);
#   4. a smoke test: the package is unpacked into an empty folder, every
#      library the program needs must be found, and the unpacked program must
#      start under Xvfb against the simulated instrument and still be running,
#      its window open with its title, three seconds later; and the unpacked
#      kestra-cli, with no display, must back the simulated instrument up into
#      a 416-byte project file and restore it.
#
# Prints the package's fields and files, and its path last.
# Install it with: sudo apt install ./build-pkg/kestra-editor_1.00-1_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."
build="${KESTRA_PACKAGE_BUILD_DIR:-build-pkg}"

KESTRA_WITH_PACKAGING=1 scripts/install-deps.sh
if [ -z "${KESTRA_PACKAGE_BUILD_DIR:-}" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRA_BUILD_TESTS=OFF \
        -DKESTRA_BUILD_BENCHMARKS=OFF >/dev/null
elif ! grep -qx "CMAKE_BUILD_TYPE:STRING=Release" "$build/CMakeCache.txt" 2>/dev/null; then
    echo "package: $build is not a configured Release build" >&2
    exit 1
fi
# (The resource step names its 73 generated files on one line: left out.)
ninja -C "$build" KestraEditor kestra-cli kestra_install_files |
    { grep --line-buffered -v "Generating juce_binarydata" || true; }
rm -f "$build"/kestra-editor_*.deb
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || { cat "$build/cpack.log" >&2; exit 1; }
package=$(ls "$build"/kestra-editor_*.deb)
dpkg-deb --info "$package" | sed -n 's/^ \(Package\|Version\|Depends\|Installed-Size\):/\1:/p'
dpkg-deb --contents "$package" | awk '$NF !~ /\/$/ { print "  " $NF }'

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$package" "$root"

# ---- the files a desktop reads ----------------------------------------------------------
echo "== desktop entry"
desktop-file-validate "$root"/usr/share/applications/*.desktop
echo "  $(basename "$root"/usr/share/applications/*.desktop): valid"
echo "== AppStream metainfo"
# --no-net: the screenshots' and homepage's addresses are not fetched (the
# project has no public address yet, and CI has no web access); everything
# else is checked. Infos and pedantic hints are shown; warnings and errors fail.
appstreamcli validate --no-net --pedantic "$root"/usr/share/metainfo/*.metainfo.xml
echo "== manual pages"
for page in KestraEditor kestra-cli; do
    man_warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
        man --warnings -E UTF-8 -l -Tutf8 -Z "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    if [ -n "$man_warnings" ]; then
        echo "$man_warnings" >&2
        exit 1
    fi
    echo "  $page.1.gz: no warnings"
done
test -f "$root/usr/share/bash-completion/completions/kestra-cli"
bash -n "$root/usr/share/bash-completion/completions/kestra-cli"
echo "  bash completion of kestra-cli: installed, parses"

# ---- lintian ----------------------------------------------------------------------------
echo "== lintian"
# Every tag is shown (infos too) with its explanation. An error fails, and so
# does a warning that is not in scripts/lintian-accepted: the warnings left
# there are listed in the README with their reasons.
# (Its status is 1 when it found errors, 2 and above when it could not run.)
status=0
report=$(lintian --info --display-info "$package" 2>&1) || status=$?
echo "$report"
if [ "$status" -gt 1 ]; then
    echo "lintian did not run (status $status)" >&2
    exit 1
fi
accepted=$(grep -v '^#' scripts/lintian-accepted | awk 'NF { printf "%s ", $1 }')
failed=$(echo "$report" | awk -v accepted="$accepted" '
    BEGIN { n = split(accepted, list, " "); for (i = 1; i <= n; i++) ok[list[i]] = 1 }
    /^E: / { print; next }
    /^W: / { tag = $3; if (!(tag in ok)) print }')
if [ -n "$failed" ]; then
    echo "lintian: errors, or warnings not accepted in scripts/lintian-accepted:" >&2
    echo "$failed" >&2
    exit 1
fi
echo "  lintian: no errors, no warnings but those accepted in scripts/lintian-accepted"

# ---- smoke test of the unpacked package -------------------------------------------------
program="$root/usr/bin/KestraEditor"
for binary in "$program" "$root/usr/bin/kestra-cli"; do
    if ldd "$binary" | grep -q "not found"; then
        ldd "$binary" | grep "not found" >&2
        exit 1
    fi
done
# The title shows the package's version without its Debian revision.
version=$(dpkg-deb --field "$package" Version)
title="Kestra Editor v${version%-*}"
XDG_CONFIG_HOME="$root/config" KESTRA_EDITOR_SIMULATOR= \
    xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
        "$1" & editor=$!
        sleep 3
        kill -0 $editor 2>/dev/null || { echo "the program ended within 3 s" >&2; exit 1; }
        xdotool search --name "^$2\$" >/dev/null ||
            { echo "no window titled \"$2\"" >&2; kill $editor; exit 1; }
        kill $editor
        wait $editor 2>/dev/null || true' _ "$program" "$title"
echo "smoke test: the unpacked program started and showed its window \"$title\""
# kestra-cli needs no display: a backup and a restore against the simulated instrument.
(cd "$root" && env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$root/config" \
    KESTRA_EDITOR_SIMULATOR= "$root/usr/bin/kestra-cli" --quiet backup smoke.tkp &&
    test "$(stat -c %s smoke.tkp)" = 416 &&
    env -u DISPLAY XDG_CONFIG_HOME="$root/config" KESTRA_EDITOR_SIMULATOR= \
        "$root/usr/bin/kestra-cli" --quiet restore smoke.tkp) ||
    { echo "kestra-cli from the package did not back up and restore" >&2; exit 1; }
echo "smoke test: the unpacked kestra-cli backed up (416 bytes) and restored with no display"
echo "$package"
