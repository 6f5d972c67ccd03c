#!/usr/bin/env bash
# Start-up of the editor: from the process start to its first complete paint
# under Xvfb, and its peak resident memory, measured from the outside by
# FirstPaintProbe (no change to the program). One warm-up start is left out;
# then the medians of the runs are printed.
#
# Usage: bench/startup.sh [runs, default 11] [build folder, default build-bench]
# Extra environment for the editor passes through, e.g.
#   KESTRA_EDITOR_SIMULATOR= bench/startup.sh
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-11}"
build="${2:-build-bench}"
probe="$build/bench/FirstPaintProbe"
editor="$build/KestraEditor"
for program in "$probe" "$editor"; do
    [ -x "$program" ] || { echo "missing: $program (build it first: scripts/bench.sh)" >&2; exit 1; }
done

# Settings in a folder of the run's own, never the user's.
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT

results=$(XDG_CONFIG_HOME="$config" xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    probe="$1"; editor="$2"; runs="$3"
    # Warm-up (caches, fonts), also waiting for the display to take clients.
    for ((try = 0; try < 5; ++try)); do
        "$probe" --settle-ms 500 -- "$editor" >/dev/null 2>&1 && break
        sleep 1
    done
    for ((i = 0; i < runs; ++i)); do
        "$probe" --settle-ms 1000 -- "$editor"
    done' _ "$probe" "$editor" "$runs")

echo "$results" | sed 's/^/  /'
median() { # the median of field $1 over the runs
    echo "$results" | tr ' ' '\n' | sed -n "s/^$1=//p" | sort -g |
        awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
failed=$(echo "$results" | grep -c -v "exit=0" || true)
echo "start-up over $runs runs (medians): window mapped $(median mapped_ms) ms," \
     "first complete paint $(median painted_ms) ms, peak resident memory" \
     "$(median peak_rss_kib | awk '{ printf "%.1f", $1 / 1024 }') MiB"
[ "$failed" -eq 0 ] || { echo "$failed runs did not paint or did not end cleanly" >&2; exit 1; }
