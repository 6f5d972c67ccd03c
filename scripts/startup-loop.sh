#!/usr/bin/env bash
# Starts the editor many times in a row, on the simulated instrument, with the
# machine loaded beside it, and closes each start early: a hunt for crashes of
# start-up and shut-down (races between the window, the timers, the simulated
# instrument's worker and the virtual ports' delivery threads). Best run on a
# sanitizer build (scripts/sanitize.sh shows how they are configured; the
# KestraEditor target alone is enough):
#
#   scripts/startup-loop.sh [-n COUNT] [-l LOAD] [-o FOLDER] [path/to/KestraEditor]
#
#   -n COUNT   starts (default 200)
#   -l LOAD    busy shell loops beside the editor (default 2; 0 for none)
#   -o FOLDER  where the output of every failed start is kept
#              (default: <editor's folder>/startup-loop)
#
# The starts take turns at four ways to end:
#   close      the window's close request (WM_DELETE_WINDOW, as its title bar's
#              close button sends it), about a second after the start
#   early      the same request as soon as the window exists, while it is
#              still appearing
#   interrupt  SIGINT within the first 0.4 s (JUCE quits on it, as on a close)
#   terminate  SIGTERM within the first 0.6 s
# Each start follows the one before at once, with the same settings folder.
# A start fails when the editor ends by a signal it was not sent (SIGSEGV,
# SIGABRT ...), when a close or an interrupt does not end it cleanly within
# 60 s, or when it prints a sanitizer report. The summary counts every way to
# end; the exit status is 1 when any start failed.
#
# Needs Xvfb, xdotool and a C compiler with the X11 headers (libx11-dev, which
# JUCE's own dependencies bring); it starts its own display.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

count=200
load=2
out=""
while getopts "n:l:o:" option; do
    case "$option" in
    n) count=$OPTARG ;;
    l) load=$OPTARG ;;
    o) out=$OPTARG ;;
    *)
        echo "usage: scripts/startup-loop.sh [-n COUNT] [-l LOAD] [-o FOLDER] [path/to/KestraEditor]" >&2
        exit 2
        ;;
    esac
done
shift $((OPTIND - 1))
binary=$(realpath "${1:-build/KestraEditor}")
out="${out:-$(dirname "$binary")/startup-loop}"

for tool in Xvfb xdotool cc; do
    command -v "$tool" >/dev/null || { echo "startup-loop: $tool is missing" >&2; exit 1; }
done
[ -x "$binary" ] || { echo "startup-loop: no editor at $binary" >&2; exit 1; }

# The sanitizers report and stop at the first finding; a program built
# without them ignores these.
supp="$root/scripts/sanitizers"
export ASAN_OPTIONS="${ASAN_OPTIONS:-halt_on_error=1:abort_on_error=1:detect_leaks=1:check_initialization_order=1:suppressions=$supp/asan.supp}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$supp/lsan.supp:print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:abort_on_error=1:print_stacktrace=1:suppressions=$supp/ubsan.supp}"
export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:abort_on_error=1:second_deadlock_stack=1:suppressions=$supp/tsan.supp}"

work=$(mktemp -d "${TMPDIR:-/tmp}/kestra-startup-loop.XXXXXX")
mkdir -p "$out" "$work/config" "$work/no-programs"
xvfb_pid=""
editor_pid=""
load_pids=()

cleanup() {
    if [ -n "$editor_pid" ]; then kill -KILL "$editor_pid" 2>/dev/null || true; wait "$editor_pid" 2>/dev/null || true; fi
    for pid in "${load_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${load_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

cc -O2 -o "$work/close-window" scripts/tools/close-window.c -lX11

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.out" &
xvfb_pid=$!
for _ in $(seq 200); do
    [ -s "$work/display" ] && break
    sleep 0.05
done
[ -s "$work/display" ] || { echo "startup-loop: Xvfb did not start: $(cat "$work/xvfb.out")" >&2; exit 1; }
export DISPLAY=":$(head -n 1 "$work/display")"
# As a window manager would, before any editor starts; -noreset keeps them
# when the last program leaves the display.
"$work/close-window" --prepare

# The load: busy loops, each ended with the script.
for _ in $(seq "$load"); do
    (while :; do :; done) &
    load_pids+=($!)
done

now_ms() { echo $(($(date +%s%N) / 1000000)); }
# The editor's window, mapped or not yet.
editor_window() { xdotool search --name '^Kestra Editor v1\.00$' 2>/dev/null | head -n 1; }
sleep_ms() { sleep "$(awk -v ms="$1" 'BEGIN { printf "%.3f", ms / 1000 }')"; }
# Sleeps until $1 ms after the start $2, or returns at once when that is past.
sleep_until() {
    local left=$(($1 - ($(now_ms) - $2)))
    if [ "$left" -gt 0 ]; then sleep_ms "$left"; fi
}

# Waits up to $1 ms for the editor's window (or its end); prints the window.
wait_window() {
    local deadline=$(($(now_ms) + $1)) window=""
    while [ "$(now_ms)" -lt "$deadline" ] && kill -0 "$editor_pid" 2>/dev/null; do
        window=$(editor_window)
        [ -n "$window" ] && { echo "$window"; return 0; }
        sleep 0.02
    done
    return 1
}

# Waits up to $1 s for the editor to end; its status goes to $status.
# Meanwhile the pointer trembles by a pixel now and then, as a hand on the
# mouse does: JUCE can leave an X event that it has already read (the close
# request) waiting until the next one arrives from the server, and a bare
# display sends none of its own.
tremble=1
wait_end() {
    local deadline=$(($(now_ms) + $1 * 1000)) polls=0
    while kill -0 "$editor_pid" 2>/dev/null; do
        polls=$((polls + 1))
        if [ $((polls % 10)) -eq 0 ]; then
            xdotool mousemove_relative -- "$tremble" 0 2>/dev/null || true
            tremble=$((-tremble))
        fi
        if [ "$(now_ms)" -ge "$deadline" ]; then
            status=hang
            # Where it hangs: every thread's stack, when gdb is there.
            if command -v gdb >/dev/null; then
                timeout 60 gdb -p "$editor_pid" -batch -ex "thread apply all bt" >"$work/stacks.txt" 2>&1 || true
            fi
            kill -ABRT "$editor_pid" 2>/dev/null || true
            sleep 2
            kill -KILL "$editor_pid" 2>/dev/null || true
            wait "$editor_pid" 2>/dev/null || true
            editor_pid=""
            return
        fi
        sleep 0.02
    done
    status=0
    wait "$editor_pid" || status=$?
    editor_pid=""
}

# Job control: without it, bash starts background programs with SIGINT
# ignored, and an interrupt that comes before JUCE installs its handler would
# be lost rather than end the start.
set -m

modes=(close early interrupt terminate)
declare -A ended
failures=0
started=$(date +%s)
echo "startup-loop: $count starts of $binary, load $load, display $DISPLAY"

for i in $(seq "$count"); do
    mode=${modes[$(((i - 1) % 4))]}
    log="$work/editor.out"
    start=$(now_ms)
    env PATH="$work/no-programs:/usr/bin:/bin" XDG_CONFIG_HOME="$work/config" \
        KESTRA_EDITOR_SIMULATOR="model=1,revision=1" "$binary" >"$log" 2>&1 &
    editor_pid=$!

    sent=""  # the signal this start was sent, if any
    how="$mode"
    case "$mode" in
    close)
        target=$((700 + RANDOM % 600))
        if window=$(wait_window 60000); then
            sleep_until "$target" "$start"
            "$work/close-window" "$window" || true
        fi
        wait_end 60
        ;;
    early)
        if window=$(wait_window 60000); then
            "$work/close-window" "$window" || true
        fi
        wait_end 60
        ;;
    interrupt)
        sleep_ms $((RANDOM % 400))
        kill -INT "$editor_pid" 2>/dev/null || true
        sent=INT
        wait_end 60
        ;;
    terminate)
        sleep_ms $((RANDOM % 600))
        kill -TERM "$editor_pid" 2>/dev/null || true
        sent=TERM
        wait_end 60
        ;;
    esac
    took=$(($(now_ms) - start))

    # What counts as a clean end of this start.
    verdict=ok
    if [ "$status" = hang ]; then
        verdict="did not end within 60 s"
    elif [ "$status" -gt 128 ]; then
        signal=$(kill -l $((status - 128)) 2>/dev/null || echo "$((status - 128))")
        [ "$signal" = "$sent" ] || verdict="ended by SIG$signal"
        how="$mode (SIG$signal)"
    elif [ "$status" -ne 0 ]; then
        verdict="exit status $status"
    fi
    if grep -Eq 'Sanitizer|runtime error:|^WARNING: ThreadSanitizer|^==[0-9]+==ERROR' "$log"; then
        verdict="a sanitizer report"
    fi
    ended["$how"]=$((${ended["$how"]:-0} + 1))

    if [ "$verdict" != ok ]; then
        failures=$((failures + 1))
        kept="$out/start-$i-$mode.txt"
        {
            echo "start $i, $mode, after ${took} ms: $verdict"
            cat "$log"
            [ "$status" != hang ] || cat "$work/stacks.txt" 2>/dev/null || true
        } >"$kept"
        echo "startup-loop: start $i ($mode, ${took} ms): $verdict; output in $kept"
    fi
    if [ $((i % 10)) -eq 0 ]; then
        echo "startup-loop: $i starts, $failures failed, $(($(date +%s) - started)) s"
    fi
done

echo "startup-loop: $count starts in $(($(date +%s) - started)) s, $failures failed"
for how in "${!ended[@]}"; do
    echo "  $how: ${ended[$how]}"
done | sort
[ "$failures" -eq 0 ]
