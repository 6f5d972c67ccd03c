#!/usr/bin/env bash
# Runs the Windows build's tests under Wine inside a virtual X display of
# their own: the headless tests, the window tests (the real editor against the
# simulated instrument over the virtual ports, as on Linux), and an end-to-end
# run of KestraEditor.exe (scripts/windows/smoke-test.sh). Build first with
# scripts/build-windows.sh.
#
# Wine keeps its Windows folder (the "prefix") in build-windows/wine, or in
# $WINEPREFIX when that is set; the first run creates it (half a minute).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/windows/install-deps.sh

build_dir="${KESTRA_WINDOWS_BUILD_DIR:-build-windows}"
jobs="${KESTRA_TEST_JOBS:-2}"
[ -f "$build_dir/KestraEditor.exe" ] || {
    echo "No $build_dir/KestraEditor.exe: run scripts/build-windows.sh first" >&2
    exit 1
}

# shellcheck source=windows/wine-session.sh
source scripts/windows/wine-session.sh
wine_session_start "$build_dir"

# Window tests left out under Wine, each with the reason. Under Wine in Xvfb
# (no window manager) on our machines a JUCE modal box comes up 10 to 20
# seconds late (measured: the port scan's "not found" box 13 and 22 s after
# CONNECT instead of 0.5 s; the same tests pass on Linux on the same machine).
# Tests that time real timers against it fail: the port scan's half-second
# steps, a cancel within the search, and "nothing is sent" windows that a
# heartbeat (every few seconds) then falls into. The cause is not found yet.
wine_excluded=(
    'Cases/PortScan\.TriesThePairsFromTheTopOneEveryHalfSecondThenReportsNotFound/'
    'Search\.CancelStopsItAndLeavesThePortsOpen'
    'TonewheelUpload\.RefusedFilesShowOneMessageAndSendNothing'
    'TonewheelUpload\.TheQuestionNamesTheSlotAndNoLeavesEverythingAsItWas'
    'TonewheelUpload\.AOneMebibyteFileReachesTheInstrumentWholeAndTheHandshakeFollows'
    # Passes, but the program does not end afterwards under Wine.
    'MessageBoxes\.ASynchronousBoxReturnsTheValueOfThePressedButton'
)
excluded=$(IFS='|'; echo "^(${wine_excluded[*]})")

ctest --test-dir "$build_dir" --output-on-failure -j "$jobs" -LE gui

# The window tests take long under Wine (a few seconds each where Linux takes
# a tenth); KESTRA_WINDOWS_WINDOW_TESTS=0 leaves them out.
if [ "${KESTRA_WINDOWS_WINDOW_TESTS:-1}" != 0 ]; then
    ctest --test-dir "$build_dir" --output-on-failure -j "$jobs" -L gui -E "$excluded"
else
    echo "run-tests-windows: window tests left out (KESTRA_WINDOWS_WINDOW_TESTS=0)"
fi

scripts/windows/smoke-test.sh "$build_dir"
