#!/usr/bin/env bash
# Builds the editor and its benchmarks (Release, into build-bench/) and runs
# them all: start-up, receive path, tonewheel transfer, full parameter send,
# slider to bytes. The window's benchmarks run under Xvfb. Each benchmark's
# own table is printed as it runs; the median figures follow at the end.
# The results are also kept as JSON in build-bench/bench-results/.
#
# Usage: scripts/bench.sh [start-up runs, default 11]
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-11}"
build=build-bench
results="$build/bench-results"

scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRA_BUILD_TESTS=OFF \
    -DKESTRA_BUILD_BENCHMARKS=ON >/dev/null
# (The resource step names its 73 generated files on one line: left out.)
ninja -C "$build" KestraEditor FirstPaintProbe BareWindow ReceivePathBenchmark TonewheelUploadBenchmark \
    ProjectSendBenchmark SliderBenchmark | { grep --line-buffered -v "Generating juce_binarydata" || true; }
mkdir -p "$results"

# Settings of the runs in a folder of their own, never the user's.
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
export XDG_CONFIG_HOME="$config"

echo "== start-up"
# A start that did not paint or end cleanly is reported; the other benchmarks still run.
bench/startup.sh "$runs" "$build" | tee "$results/startup.txt" || true

echo "== receive path"
"$build/bench/ReceivePathBenchmark" --benchmark_out="$results/receive.json" \
    --benchmark_out_format=json

# The window's benchmarks, on one virtual display. The editor logs the result
# of every box it closes; those lines are left out here.
for name in TonewheelUpload ProjectSend Slider; do
    echo "== $name"
    xvfb-run -a -s "-screen 0 1280x800x24" "$build/bench/${name}Benchmark" \
        --benchmark_out="$results/$name.json" --benchmark_out_format=json |
        grep -v "^messageBoxCallback"
done

echo
echo "== median figures"
python3 bench/summarise.py "$results"
