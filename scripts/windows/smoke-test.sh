#!/usr/bin/env bash
# End to end, the Windows program under Wine: KestraEditor.exe against the
# simulated instrument (KESTRA_EDITOR_SIMULATOR, its log given as a Windows
# path), in a virtual display. Checks the window's size, clicks CONNECT,
# checks the handshake in the instrument's log, that the window repainted
# the CONNECT button, and that the port pair was stored under
# %APPDATA%\Kestra Editor. Screenshots go to BUILD_DIR/smoke/.
#
#   scripts/windows/smoke-test.sh [BUILD_DIR]      (default: build-windows)
set -euo pipefail
cd "$(dirname "$0")/../.."
build_dir="${1:-${KESTRA_WINDOWS_BUILD_DIR:-build-windows}}"
exe="$(realpath "$build_dir")/KestraEditor.exe"
shots="$(realpath "$build_dir")/smoke"
[ -f "$exe" ] || { echo "smoke: no $exe" >&2; exit 1; }

# shellcheck source=wine-session.sh
source scripts/windows/wine-session.sh
wine_session_start "$build_dir"

rm -rf "$shots"
mkdir -p "$shots"
log="$shots/simulator.log"
log_windows=$(winepath -w "$log" 2>/dev/null)
appdata_windows=$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')
settings="$(winepath -u "$appdata_windows" 2>/dev/null)/Kestra Editor/Kestra Editor.settings"
rm -f "$settings"
editor_pid=""

wine_session_name=smoke
# What fail (wine-session.sh) shows before it exits.
wine_session_on_failure() {
    import -window root "$shots/failure.png" 2>/dev/null && echo "smoke: the screen: $shots/failure.png" >&2
    echo "smoke: the instrument's log:" >&2
    tail -n 15 "$log" >&2 2>/dev/null || true
    echo "smoke: the editor's output:" >&2
    tail -n 15 "$shots/editor.out" >&2 2>/dev/null || true
}
# Between the polls of wait_for (wine-session.sh): the editor still runs.
wine_session_still_alive() {
    [ -z "$editor_pid" ] || kill -0 "$editor_pid" 2>/dev/null || fail "the editor has ended"
}

echo "smoke: starting $exe (log: $log_windows)"
KESTRA_EDITOR_SIMULATOR="log=$log_windows" wine "$exe" >"$shots/editor.out" 2>&1 &
editor_pid=$!

window_of() { xdotool search --onlyvisible --name '^Kestra Editor v1\.00$' 2>/dev/null | head -n 1; }
has_window() { [ -n "$(window_of)" ]; }
wait_for 60 has_window || fail "no editor window"
window=$(window_of)
locate() { eval "$(xdotool getwindowgeometry --shell "$window")"; }
settled() {
    local before
    locate
    before="$X,$Y,$WIDTH,$HEIGHT"
    sleep 0.3
    locate
    [ "$before" = "$X,$Y,$WIDTH,$HEIGHT" ]
}
wait_for 20 settled || fail "the window does not settle"
[ "$WIDTH" = 1024 ] && [ "$HEIGHT" = 685 ] || fail "the window is ${WIDTH}x$HEIGHT, not 1024x685"
echo "smoke: window ${WIDTH}x$HEIGHT at $X,$Y"
sleep 1 # the first paint
import -window root "$shots/01-start.png"

# CONNECT is the third button of the toolbar (`KestraEditor --print-layout`
# prints its bounds as "connect").
connect_x=$((242 + 104 * 2 + 52))
connect_y=39
xdotool mousemove --sync $((X + connect_x)) $((Y + connect_y)) click 1

logged() { grep -q -- "$1" "$log" 2>/dev/null; }
expect_log() { wait_for 30 logged "$1" || fail "the instrument's log shows no $2 ($1)"; }
expect_log ' in F0 7D 1E 06 01 F7' "IdentityRequest"
expect_log ' out F0 7D 1E 07 ' "IdentityReply"
expect_log ' in F0 7D 1E 04 7D F7' "DumpRequest 7D"
expect_log ' in F0 7D 1E 04 7E F7' "DumpRequest 7E"
expect_log ' in F0 7D 1E 04 7C F7' "DumpRequest 7C"
expect_log ' out F0 7D 1E 09 05 ' "the last tonewheel name"
echo "smoke: handshake complete"

# The port pair of a completed handshake is stored in the user's settings.
wait_for 20 test -s "$settings" || fail "no settings file at $settings"
grep -q 'MidiInputIndex' "$settings" || fail "the settings file holds no port index"
echo "smoke: settings stored in $appdata_windows\\Kestra Editor"

# Away from the buttons, so that none shows its mouse-over picture.
xdotool mousemove --sync $((X + 100)) $((Y + 640))
sleep 1.5 # the searching box closes, the window repaints
import -window root "$shots/02-connected.png"

# The CONNECT button now shows its "connected" picture: the window has
# repainted after its first paint.
crop="100x40+$((X + connect_x - 50))+$((Y + connect_y - 20))"
convert "$shots/01-start.png" -crop "$crop" +repage "$shots/connect-before.png"
convert "$shots/02-connected.png" -crop "$crop" +repage "$shots/connect-after.png"
changed=$(compare -metric AE "$shots/connect-before.png" "$shots/connect-after.png" null: 2>&1 || true)
[ "${changed%% *}" != 0 ] || fail "the CONNECT button did not repaint"
echo "smoke: the window repainted ($changed pixels of the CONNECT button changed)"

kill "$editor_pid" 2>/dev/null || true
wait "$editor_pid" 2>/dev/null || true
editor_pid=""
echo "smoke: passed; screenshots in $shots"
