#!/usr/bin/env bash
# End to end: the real editor against the simulated instrument, in a virtual
# display of its own, clicked through as a musician would with xdotool:
# connect, a value on each page, a double-click back to a default, undo and
# redo of a slider drag with the keys, the MIDI monitor, store, reset
# (answered "No", then "Yes"),
# save a project and open it again, upload a tonewheel through the TONEWHEEL
# menu, disconnect. After each step a screenshot goes to <build>/e2e/ and the
# simulated instrument's log must show the expected exchange.
#
#   scripts/e2e.sh [path/to/KestraEditor]     (default: build/KestraEditor)
#
# Needs Xvfb, xdotool and ImageMagick (scripts/install-deps.sh installs them),
# but no window manager and no display of the caller's: it starts its own.
set -euo pipefail

binary=$(realpath "${1:-build/KestraEditor}")
shots="${KESTRA_E2E_SHOTS:-$(dirname "$binary")/e2e}"

for tool in Xvfb xdotool import convert; do
    command -v "$tool" >/dev/null || { echo "e2e: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
[ -x "$binary" ] || { echo "e2e: no editor at $binary" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/kestra-e2e.XXXXXX")
log="$work/simulator.log"
mkdir -p "$shots" "$work/config" "$work/no-programs" "$work/files"
rm -f "$shots"/*.png "$shots/simulator.log"
started=$(date +%s)
xvfb_pid=""
editor_pid=""
display_up=""

step="begin"
# Names the step that runs now, with the seconds since the start.
begin() {
    step=$1
    echo "e2e: [$(($(date +%s) - started)) s] $step"
}

cleanup() {
    if [ -n "$editor_pid" ]; then kill "$editor_pid" 2>/dev/null || true; wait "$editor_pid" 2>/dev/null || true; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "e2e: FAILED at step '$step': $*" >&2
    if [ -n "$display_up" ] && import -window root "$shots/failure.png" 2>/dev/null; then
        echo "e2e: the screen at that moment: $shots/failure.png" >&2
    fi
    if [ -n "$display_up" ]; then
        echo "e2e: focus $(xdotool getwindowfocus 2>&1); windows:" >&2
        xwininfo -root -children 2>/dev/null | grep '"' >&2 || true
    fi
    cp "$log" "$shots/simulator.log" 2>/dev/null && echo "e2e: the whole log: $shots/simulator.log" >&2
    echo "e2e: the last messages of the simulated instrument:" >&2
    tail -n 15 "$log" >&2 2>/dev/null || true
    echo "e2e: the editor's output:" >&2
    tail -n 15 "$work/editor.out" >&2 2>/dev/null || true
    exit 1
}

# Polls a command until it succeeds, for at most $1 seconds. Meanwhile the
# pointer trembles by a pixel, as a hand on the mouse does: JUCE can leave X
# events that it has already read (a click, an exposure) waiting until the
# next event arrives from the X server, so a perfectly still pointer could
# leave a click unanswered for good.
tremble=1
wait_for() {
    local seconds=$1
    shift
    local end=$(($(date +%s%N) + seconds * 1000000000))
    until "$@"; do
        [ "$(date +%s%N)" -lt "$end" ] || return 1
        if [ -n "$editor_pid" ] && ! kill -0 "$editor_pid" 2>/dev/null; then
            fail "the editor has ended: $(cat "$work/editor.out")"
        fi
        if [ -n "$display_up" ]; then
            xdotool mousemove_relative -- "$tremble" 0 2>/dev/null || true
            tremble=$((-tremble))
        fi
        sleep 0.05
    done
}

# ---- the display and the editor ---------------------------------------------------------------

# A display number of its own: Xvfb takes the first free one and reports it.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.out" &
xvfb_pid=$!
begin "start the virtual display"
wait_for 20 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.out")"
DISPLAY=":$(head -n 1 "$work/display")"
export DISPLAY
display_up=1

# JUCE runs a desktop's dialog program (zenity, kdialog) for file choosers when
# `which` finds one; with a PATH of an empty folder it finds none and shows its
# own chooser, the same window on every machine.
begin "start the editor"
env PATH="$work/no-programs" XDG_CONFIG_HOME="$work/config" \
    KESTRA_EDITOR_SIMULATOR="log=$log" "$binary" >"$work/editor.out" 2>&1 &
editor_pid=$!

window_of() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1; }
has_window() { [ -n "$(window_of "$1")" ]; }
no_window() { [ -z "$(window_of "$1")" ]; }
editor_alive() { kill -0 "$editor_pid" 2>/dev/null || fail "the editor has ended: $(cat "$work/editor.out")"; }

wait_for 20 has_window '^Kestra Editor v1\.00$' || fail "no editor window"
main=$(window_of '^Kestra Editor v1\.00$')
# Where the content area is now: the window may still move into its centred
# place while the program starts, so every click asks again.
locate() {
    eval "$(xdotool getwindowgeometry --shell "$main")"
    left=$X
    top=$Y
}
# The window has found its place once two looks a moment apart agree.
settled() {
    local before
    locate
    before="$left,$top"
    sleep 0.2
    locate
    [ "$before" = "$left,$top" ]
}
wait_for 20 settled || fail "the editor window does not settle"

# ---- the person at the window -----------------------------------------------------------------

# Clicks at (x, y) of the editor's content area (the coordinates of the
# layout), with the short pause a hand makes before the next click.
click() {
    editor_alive
    locate
    xdotool mousemove --sync $((left + $1)) $((top + $2)) click 1 sleep 0.15
}

# Clicks at (x, y) inside another window of the editor.
click_in() {
    eval "$(xdotool getwindowgeometry --shell "$1")"
    xdotool mousemove --sync $((X + $2)) $((Y + $3)) click 1
}

toolbar_x() { # OPEN 0, SAVE 1, CONNECT 2, STORE 3, RESET 4, TONEWHEEL 5
    echo $((242 + 104 * $1 + 52))
}
click_toolbar() { click "$(toolbar_x "$1")" 39; }
# What the page area shows (right of the page buttons, below the toolbar), as
# a checksum: it changes when another page is shown.
page_look() {
    import -window "$main" -crop 780x580+240+100 +repage rgb:- 2>/dev/null | md5sum
}
page_changed() { [ "$(page_look)" != "$1" ]; }
# Shows page $1 (0 = Tone Generator). A click that a slow machine loses would
# leave the last page under the next click, so the hand looks and clicks
# again until the page has changed.
click_page() {
    local before attempt
    before=$(page_look)
    for attempt in 1 2 3; do
        [ "$attempt" = 1 ] || echo "e2e:   the page did not change; clicking again"
        click 100 $((78 + 40 * $1 + 20))
        wait_for 5 page_changed "$before" && return
    done
    fail "page $1 does not show"
}
# A selector, or a slider's value box, at (x, row y).
click_row() { click "$1" $(($2 + 12)); }
# A slider at row y set by typing: a click opens its value box, all selected.
type_into_slider() {
    click_row 700 "$1"
    xdotool type --delay 5 -- "$2"
    xdotool key Return
}
# A double-click at (x, row y): two clicks in quick succession, where a hand
# would make them, well inside the double-click time.
double_click_row() {
    editor_alive
    locate
    xdotool mousemove --sync $((left + $1)) $((top + $2 + 12)) click --repeat 2 --delay 80 1 sleep 0.15
}
# A slider at row y dragged from x1 to x2.
drag_slider() {
    editor_alive
    locate
    local y=$((top + $1 + 12))
    xdotool mousemove --sync $((left + $2)) "$y" mousedown 1
    for x in $(seq "$2" 40 "$3") "$3"; do
        xdotool mousemove $((left + x)) "$y" sleep 0.02
    done
    xdotool mouseup 1
    # A selector under the pointer would have opened its list instead.
    ! has_window '^menu$' || fail "a selector's list opened where a slider was dragged"
}

number=0
# A screenshot of the whole screen, numbered in order. The pointer first
# moves off the buttons, so that none shows its mouse-over picture; the move
# also matters because JUCE repaints what a closed window of its own has
# uncovered only when the next X event arrives.
shot() {
    number=$((number + 1))
    locate
    xdotool mousemove --sync $((left + 100)) $((top + 640)) # below the page buttons
    sleep 0.3
    import -window root "$shots/$(printf '%02d' "$number")-$1.png"
}

# The simulator log from a mark on: `mark` remembers where it ends now.
mark() { wc -l <"$log" 2>/dev/null || echo 0; }
since() { tail -n +$(($1 + 1)) "$log" 2>/dev/null; }
logged_since() { since "$1" | grep -Eq "$2"; }
expect_log() { # mark, pattern, what
    wait_for 20 logged_since "$1" "$2" || fail "the instrument's log shows no $3 (/$2/)"
}
logged_after() { since "$1" | awk -v a="$2" -v b="$3" '$0 ~ a { seen = 1 } seen && $0 ~ b { found = 1 } END { exit !found }'; }
expect_log_after() { # mark, first pattern, later pattern, what
    wait_for 20 logged_after "$1" "$2" "$3" || fail "the instrument's log shows no $4 (/$3/ after /$2/)"
}
expect_no_log() { # mark, pattern, what, seconds: nothing of it for that long (default 1)
    if wait_for "${4:-1}" logged_since "$1" "$2"; then
        fail "the instrument received $3: $(since "$1" | grep -E "$2" | head -n 3)"
    fi
}

# The buttons of a message box, left to right, as "x y" in the box: the runs
# of pixels that differ from the box's background across the middle of the
# bottom-most band of content.
box_buttons() {
    import -window "$1" "$work/box.png"
    convert "$work/box.png" -colorspace Gray -depth 8 txt:- | awk -F'[,: ]+' '
        NR == 1 { next }
        { v = $0; sub(/.*gray\(/, "", v); sub(/\).*/, "", v); p[$1 "," $2] = v + 0
          if ($1 > W) W = $1; if ($2 > H) H = $2 }
        END {
            bg = p[int(W / 2) ",2"]
            for (y = H - 3; y > H / 2; y--) { c = 0; for (x = 3; x <= W - 3; x++) if (p[x "," y] != bg) c++; n[y] = c }
            for (y = H - 3; y > H / 2 && n[y] == 0; y--) ;
            bottom = y; for (; y > H / 2 && n[y] > 0; y--) ; mid = int((y + 1 + bottom) / 2)
            run = 0
            for (x = 3; x <= W - 2; x++) {
                d = (x <= W - 3 && p[x "," mid] != bg)
                if (d && !run) { start = x; run = 1 }
                if (!d && run) { if (x - start > 20) print int((start + x - 1) / 2), mid; run = 0 }
            }
        }'
}

box_window() { window_of '^Kestra Editor$'; }
wait_box() { wait_for 20 has_window '^Kestra Editor$' || fail "no message box for $1"; }
wait_no_box() { wait_for 20 no_window '^Kestra Editor$' || fail "the message box stays: $1"; }

# Presses button $1 (0 = leftmost) of the open box, which must have $2 buttons.
press_box_button() {
    local box buttons
    box=$(box_window)
    [ -n "$box" ] || fail "no message box to answer"
    buttons=$(box_buttons "$box")
    [ "$(echo "$buttons" | grep -c .)" -eq "$2" ] ||
        fail "the box should have $2 button(s), found: $(echo "$buttons" | tr '\n' ';')"
    # shellcheck disable=SC2046
    click_in "$box" $(echo "$buttons" | sed -n "$(($1 + 1))p")
}

# Opens the selector at (x, row y). Its list opens a moment after the click;
# when a slow machine loses the click, the hand clicks again.
open_selector() {
    local _
    local attempt
    for attempt in 1 2 3; do
        [ "$attempt" = 1 ] || echo "e2e:   the selector's list did not open; clicking again"
        click_row "$1" "$2"
        wait_for 5 has_window '^menu$' && return
    done
    fail "the selector at ($1, $2) does not open"
}

# Picks item $1 (0 = first) of $2 items in the open pop-up menu.
pick_menu_item() {
    wait_for 20 has_window '^menu$' || fail "no menu"
    local menu
    menu=$(window_of '^menu$')
    eval "$(xdotool getwindowgeometry --shell "$menu")"
    local x=$((X + WIDTH / 2)) y=$((Y + HEIGHT * (2 * $1 + 1) / (2 * $2)))
    # A menu takes no click in its first quarter second; a hand rests on the
    # item a moment, and presses again if the menu is still there.
    local attempt
    for attempt in 1 2 3; do
        [ "$attempt" = 1 ] || echo "e2e:   the menu is still open; clicking its item again"
        xdotool mousemove --sync "$x" "$y"
        sleep 0.4
        xdotool mousedown 1
        sleep 0.1
        xdotool mouseup 1
        wait_for 5 no_window '^menu$' && return
    done
    fail "the menu stays open"
}

# Types a full path into the file chooser titled $1 and confirms it: the first
# Return moves the chooser to the folder, the second takes the file.
choose_file() {
    wait_for 20 has_window "^$1\$" || fail "no file chooser \"$1\""
    local chooser
    chooser=$(window_of "^$1\$")
    eval "$(xdotool getwindowgeometry --shell "$chooser")"
    click_in "$chooser" $((WIDTH / 2 + 10)) $((HEIGHT - 63)) # the "file:" box
    xdotool type --delay 5 -- "$2"
    xdotool key Return
    sleep 0.2
    xdotool key Return
    wait_for 20 no_window "^$1\$" || fail "the file chooser \"$1\" stays open"
}

# A parameter message the editor sent: value messages carry 0 ... 84, byte
# messages 85 ... 98 as 0 ... 13.
sent_value() { printf ' in F0 7D 1E 01 %02X ' "$1"; }
sent_byte() { printf ' in F0 7D 1E 02 %02X %02X F7' $(($1 - 85)) "$2"; }

# ---- the run ----------------------------------------------------------------------------------

begin "start"
shot start

begin "connect"
m=$(mark)
click_toolbar 2
expect_log "$m" ' in F0 7D 1E 06 01 F7' "IdentityRequest"
expect_log "$m" ' out F0 7D 1E 07 ' "IdentityReply"
expect_log "$m" ' in F0 7D 1E 04 7D F7' "DumpRequest 7D"
expect_log "$m" ' in F0 7D 1E 04 7E F7' "DumpRequest 7E"
expect_log "$m" ' in F0 7D 1E 04 7C F7' "DumpRequest 7C"
expect_log "$m" ' out F0 7D 1E 09 05 ' "the last tonewheel name"
wait_no_box "the searching box after the handshake"
shot connected

begin "a value on the Tone Generator page"
m=$(mark)
type_into_slider 230 -3 # Pedals Level
expect_log "$m" "$(sent_value 4)" "Pedals Level (4)"
shot tone-generator

begin "a double-click returns the changed slider to its default"
m=$(mark)
double_click_row 700 230 # Pedals Level, at -3 dB since the step before
# 6.0 dB, its default: the float 0x40C00000 in five 7-bit groups, low first.
expect_log "$m" ' in F0 7D 1E 01 04 00 00 00 00 06 04 F7' "Pedals Level back at 6.0 dB (4)"
# One change, the return: no value box opened and took the second click.
sleep 1
[ "$(since "$m" | grep -c "$(sent_value 4)")" -eq 1 ] || fail "not one message for Pedals Level: $(since "$m" | grep "$(sent_value 4)")"
shot double-click

begin "a value on the Vibrato and Chorus page"
click_page 1
m=$(mark)
type_into_slider 230 6.5 # V/C Frequency
expect_log "$m" "$(sent_value 29)" "V/C Frequency (29)"
shot vibrato-chorus

begin "a value on the Overdrive page"
click_page 2
m=$(mark)
open_selector 571 230 # the Overdrive Model selector
pick_menu_item 2 8
expect_log "$m" "$(sent_value 9)" "the overdrive model (9 ...)"
expect_log "$m" "$(sent_value 15)" "the overdrive model (... 15)"
click 958 149 # the ROCK view
m=$(mark)
open_selector 571 230 # its own Overdrive Model selector
pick_menu_item 3 8
expect_log "$m" "$(sent_value 16)" "the ROCK overdrive model (16 ...)"
shot overdrive

begin "a value on the Rotary page"
click_page 3
m=$(mark)
drag_slider 230 500 900 # Horn Slow Speed
expect_log "$m" "$(sent_value 42)" "Horn Slow Speed (42)"
shot rotary

begin "undo and redo the drag"
# Before the drag, Horn Slow Speed held what the instrument reported in the
# handshake; the drag's last message carries the dragged value.
before_drag=$(grep ' out F0 7D 1E 01 2A 00 ' "$log" | tail -n 1 | sed 's/.* out //')
dragged=$(since "$m" | grep ' in F0 7D 1E 01 2A 00 ' | tail -n 1 | sed 's/.* in //')
[ -n "$before_drag" ] && [ -n "$dragged" ] && [ "$before_drag" != "$dragged" ] ||
    fail "no value before the drag ($before_drag) or after it ($dragged)"
# The heartbeat's identity request may come meanwhile: it is not counted.
heartbeat=' in F0 7D 1E 06 01 F7'
locate
xdotool mousemove --sync $((left + 600)) $((top + 640)) # the keys go to the window under the pointer
m=$(mark)
xdotool key ctrl+z
expect_log "$m" " in $before_drag" "the value before the drag after Ctrl+Z"
[ "$(since "$m" | grep ' in F0 7D 1E 0' | grep -vc "$heartbeat")" -eq 1 ] || fail "Ctrl+Z sent more than one message"
m=$(mark)
xdotool key ctrl+shift+z
expect_log "$m" " in $dragged" "the dragged value again after Ctrl+Shift+Z"
[ "$(since "$m" | grep ' in F0 7D 1E 0' | grep -vc "$heartbeat")" -eq 1 ] || fail "Ctrl+Shift+Z sent more than one message"
shot undo-redo

begin "the MIDI monitor"
xdotool key ctrl+m
wait_for 20 has_window '^MIDI Monitor$' || fail "no window \"MIDI Monitor\" after Ctrl+M"
sleep 0.5
number=$((number + 1))
import -window root "$shots/$(printf '%02d' "$number")-midi-monitor.png"
# The editor keeps working beside it.
m=$(mark)
locate
xdotool mousemove --sync $((left + 600)) $((top + 640))
xdotool key ctrl+z
expect_log "$m" " in $before_drag" "Ctrl+Z with the monitor open"
xdotool key ctrl+m
wait_for 20 no_window '^MIDI Monitor$' || fail "the MIDI Monitor stays after Ctrl+M again"

begin "a value on the Reverb page"
click_page 4
m=$(mark)
type_into_slider 230 3.5 # Hall Time
expect_log "$m" "$(sent_value 23)" "Hall Time (23)"
shot reverb

begin "a value on the Additional Functions page"
click_page 5
m=$(mark)
open_selector 571 230   # the Tonewheel Model selector
pick_menu_item 4 6 # "ALT2 - ...", slot 4: LOAD... is enabled
expect_log "$m" "$(sent_byte 97 4)" "Tonewheel Model ALT2 (97 = 4)"
shot additional-functions

begin "store"
m=$(mark)
click_toolbar 3
expect_log "$m" ' in F0 7D 1E 03 ' "StoreRequest"
expect_log "$m" ' out F0 7D 1E 05 F7' "DoneMessage"
wait_box "the stored notice"
# The box is modal: a click on RESET beside it does nothing.
click_toolbar 4
expect_no_log "$m" ' in F0 7D 1E 08 ' "a ResetRequest from a click beside a box"
shot stored
press_box_button 0 1
wait_no_box "the stored notice after OK"

begin "reset, answered No"
m=$(mark)
click_toolbar 4
wait_box "the reset question"
shot reset-question
press_box_button 1 2 # No
wait_no_box "the reset question after No"
expect_no_log "$m" ' in F0 7D 1E 08 ' "a ResetRequest after No"
shot reset-declined

begin "reset, answered Yes"
m=$(mark)
click_toolbar 4
wait_box "the reset question"
press_box_button 0 2 # Yes
expect_log "$m" ' in F0 7D 1E 08 ' "ResetRequest"
expect_log "$m" "$(printf ' out F0 7D 1E 02 %02X 02 F7' $((97 - 85)))" "the reset Tonewheel Model (97 = 2)"
expect_log "$m" ' out F0 7D 1E 05 F7' "DoneMessage"
wait_box "the reset notice"
shot reset-done
press_box_button 0 1
wait_no_box "the reset notice after OK"

begin "save a project"
m=$(mark)
open_selector 571 230 # Tonewheel Model ALT2 again, into the project
pick_menu_item 4 6
expect_log "$m" "$(sent_byte 97 4)" "Tonewheel Model ALT2 (97 = 4)"
m=$(mark)
click_toolbar 1
choose_file "Save Project File" "$work/files/e2e-song" # the editor adds ".tkp"
project="$work/files/e2e-song.tkp"
wait_for 20 test -s "$project" || fail "no project file $project"
[ "$(stat -c %s "$project")" -eq 416 ] || fail "the project file has $(stat -c %s "$project") bytes, not 416"
[ "$(od -An -tx1 -N4 "$project" | tr -d ' \n')" = 63190727 ] || fail "the project file has a wrong magic"
# Parameter 97 at offset 20 + 4 * 97: 4.0 as a little-endian float.
[ "$(od -An -tx1 -j408 -N4 "$project" | tr -d ' \n')" = 00008040 ] ||
    fail "the project file does not hold Tonewheel Model 4"
expect_no_log "$m" ' in F0 7D 1E 0[1-5789A] ' "a message while saving"
shot saved

begin "open the project"
m=$(mark)
open_selector 571 230 # Tonewheel Model ALT3, which the project will undo
pick_menu_item 5 6
expect_log "$m" "$(sent_byte 97 5)" "Tonewheel Model ALT3 (97 = 5)"
m=$(mark)
click_toolbar 0
choose_file "Open Project File" "$project"
expect_log "$m" ' in F0 7D 1E 0A 01 F7' "BulkModeMessage 1"
expect_log "$m" ' in F0 7D 1E 0A 00 F7' "BulkModeMessage 0"
[ "$(since "$m" | grep -c ' in F0 7D 1E 01 ')" -eq 85 ] || fail "not 85 parameter values sent"
[ "$(since "$m" | grep -c ' in F0 7D 1E 02 ')" -eq 14 ] || fail "not 14 parameter bytes sent"
logged_since "$m" "$(sent_byte 97 4)" || fail "the project's Tonewheel Model (97 = 4) was not sent"
wait_no_box "the transmitting box after the send"
shot opened

begin "upload a tonewheel through the menu"
tonewheel="$work/files/e2e.ktw"
{
    printf '\x63\x19\x07\x27'        # the magic, little-endian
    head -c 28 /dev/zero             # not read
    printf 'E2E WHEEL'               # the name, 32 bytes with zeros
    head -c 23 /dev/zero
    head -c 300 /dev/zero | tr '\0' 'K' # the tonewheel data
} >"$tonewheel"
m=$(mark)
click_toolbar 5
wait_for 20 has_window '^menu$' || fail "no tonewheel menu"
shot tonewheel-menu
pick_menu_item 1 3 # "Upload to ALT2 - ..."
choose_file "Load Tonewheel File" "$tonewheel"
wait_box "the tonewheel question"
shot tonewheel-question
press_box_button 0 2 # Yes
expect_log "$m" ' in F0 7E 00 07 01 00 41 43 32 ' "the File Dump header for slot 4 (AC2)"
expect_log "$m" ' in F0 7E 00 7B ' "the File Dump EOF"
expect_log "$m" ' out F0 7D 1E 09 04 45 32 45 20 57 48 45 45 4C 00 F7' "the new name of slot 4"
expect_log_after "$m" ' in F0 7E 00 7B ' ' in F0 7D 1E 04 7C F7' "handshake after the upload"
expect_log_after "$m" ' in F0 7D 1E 04 7C F7' ' out F0 7D 1E 09 05 ' "names of the handshake after the upload"
wait_no_box "the transmitting box after the upload"
shot tonewheel-uploaded

begin "disconnect"
m=$(mark)
click_toolbar 2
expect_no_log "$m" ' in F0 7D 1E 0[1-5789A] ' "a message other than the heartbeat's on the disconnect"
# The heartbeat (every 3 s) has stopped: nothing for longer than one period.
m=$(mark)
expect_no_log "$m" ' in ' "a message after the disconnect" 4
shot disconnected
editor_alive

echo "e2e: passed in $(($(date +%s) - started)) s; screenshots in $shots"
