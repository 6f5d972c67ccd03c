#!/bin/sh
# Runs a program in a virtual X display of its own, 2400 x 1600 pixels: the
# zoom's window tests need the editor's window at 200 % (2048 x 1370) to fit.
# The display's number comes from Xvfb itself (-displayfd), so that programs
# started side by side (ctest -j) never ask for the same one.
#
#   tests/tools/large-screen.sh program [arguments]
set -u
folder=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 2400x1600x24 -nolisten tcp 3>"$folder/display" 2>"$folder/xvfb.log" &
xvfb=$!
finish() {
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
    rm -rf "$folder"
}
trap finish EXIT
tries=0
while [ ! -s "$folder/display" ]; do
    tries=$((tries + 1))
    if [ $tries -gt 400 ] || ! kill -0 "$xvfb" 2>/dev/null; then
        echo "large-screen.sh: Xvfb did not start: $(cat "$folder/xvfb.log")" >&2
        exit 1
    fi
    sleep 0.05
done
DISPLAY=":$(head -n 1 "$folder/display")" "$@"
