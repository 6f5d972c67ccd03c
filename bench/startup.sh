#!/usr/bin/env bash
# Start-up of the editor: from the process start to its first complete paint
# under Xvfb, and its peak resident memory, measured from the outside by
# FirstPaintProbe (no change to the program), against the same figures of a
# bare JUCE window of the same size (bench/BareWindow.cpp) started in turn with
# it on the same display. One warm-up start of each is left out; then the
# medians of the runs and the editor's ratios to the bare window are printed.
#
# Usage: bench/startup.sh [runs, default 11] [build folder, default build-bench] [zoom, default 100]
# With a zoom (125 ... 200), both programs start with "--scale ZOOM", on a
# screen of 2400 x 1600 where the editor fits at 200 %.
# Extra environment for the editor passes through, e.g.
#   KESTRA_EDITOR_SIMULATOR= bench/startup.sh
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-11}"
build="${2:-build-bench}"
zoom="${3:-100}"
screen="1280x800x24"
scale=()
if [ "$zoom" != 100 ]; then
    screen="2400x1600x24"
    scale=(--scale "$zoom")
fi
probe="$build/bench/FirstPaintProbe"
editor="$build/KestraEditor"
bare="$build/bench/BareWindow"
for program in "$probe" "$editor" "$bare"; do
    [ -x "$program" ] || { echo "missing: $program (build it first: scripts/bench.sh)" >&2; exit 1; }
done

# Settings in a folder of the run's own, never the user's.
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT

results=$(XDG_CONFIG_HOME="$config" xvfb-run -a -s "-screen 0 $screen" bash -c '
    probe="$1"; editor="$2"; bare="$3"; runs="$4"; shift 4 # the rest: --scale ZOOM
    # Warm-up (caches, fonts), also waiting for the display to take clients.
    for ((try = 0; try < 5; ++try)); do
        "$probe" --settle-ms 500 -- "$editor" "$@" >/dev/null 2>&1 && break
        sleep 1
    done
    "$probe" --title "Bare Window" --settle-ms 500 -- "$bare" "$@" >/dev/null 2>&1 || true
    # One measured start; again when the probe could not even reach the
    # display (a busy machine can make the server slow to take a client).
    measure() {
        local line=""
        for ((try = 0; try < 3; ++try)); do
            line=$("$probe" "$@") && break
            [ -n "$line" ] && break
            sleep 1
        done
        echo "$line"
    }
    # In turn, so that the load of the machine weighs on both alike.
    for ((i = 0; i < runs; ++i)); do
        echo "bare $(measure --title "Bare Window" --settle-ms 1000 -- "$bare" "$@")"
        echo "editor $(measure --settle-ms 1000 -- "$editor" "$@")"
    done' _ "$probe" "$editor" "$bare" "$runs" "${scale[@]}")

echo "$results" | sed 's/^/  /'
median() { # the median of field $2 over the runs of program $1
    echo "$results" | sed -n "s/^$1 //p" | tr ' ' '\n' | sed -n "s/^$2=//p" | sort -g |
        awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
mib() { awk '{ printf "%.1f", $1 / 1024 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "?" }'; }
failed=$(echo "$results" | grep -c -v "exit=0" || true)
for program in editor bare; do
    case $program in editor) name="start-up" ;; bare) name="bare window" ;; esac
    echo "$name over $runs runs (medians): window mapped $(median $program mapped_ms) ms," \
         "first complete paint $(median $program painted_ms) ms, peak resident memory" \
         "$(median $program peak_rss_kib | mib) MiB, processor time $(median $program cpu_ms) ms"
done
echo "start-up against the bare window: first complete paint" \
     "$(ratio "$(median editor painted_ms)" "$(median bare painted_ms)") times," \
     "peak resident memory $(ratio "$(median editor peak_rss_kib)" "$(median bare peak_rss_kib)") times," \
     "processor time $(ratio "$(median editor cpu_ms)" "$(median bare cpu_ms)") times"
[ "$failed" -eq 0 ] || { echo "$failed runs did not paint or did not end cleanly" >&2; exit 1; }
