#!/usr/bin/env bash
# Builds the fuzz targets with clang (core only, ASan + UBSan) into build-fuzz/
# and runs each for a while on its corpus in fuzz/corpus/<name>/.
#
#   scripts/fuzz.sh [seconds per target, default 60] [target ...]
#   scripts/fuzz.sh --runs N [--within SECONDS] [target ...]
#                      (N executions per target instead, or as many as fit the time)
#
# Targets: receive (ReceivePathFuzzer), projectfile (ProjectFileFuzzer),
# tonewheelfile (TonewheelFileFuzzer), xmlreaders (XmlReadersFuzzer: the
# snapshots' index and the settings file); all four when none is named.
# Inputs found in a run go to build-fuzz/work/<name>/ first; afterwards only
# those that reach code the corpus did not (libFuzzer's -merge) are copied
# into fuzz/corpus/<name>/, so that the corpus in the repository stays small.
# An input that crashes, hangs or trips a sanitizer is kept as
# build-fuzz/artifacts/<name>/crash-*, and the script ends with a failure.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = --runs ]; then
    limit=(-runs="${2:?--runs needs a count}")
    shift 2
    if [ "${1:-}" = --within ]; then
        limit+=(-max_total_time="${2:?--within needs seconds}")
        shift 2
    fi
else
    limit=(-max_total_time="${1:-60}")
    [ $# -gt 0 ] && shift
fi
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(receive projectfile tonewheelfile xmlreaders)

KESTRA_WITH_FUZZERS=1 scripts/install-deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DKESTRA_CORE_ONLY=ON \
    -DKESTRA_BUILD_FUZZERS=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build-fuzz

# Undefined behaviour ends the run like a crash (the builds also use -fno-sanitize-recover).
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

failed=0
for target in "${targets[@]}"; do
    case "$target" in
    receive) fuzzer=ReceivePathFuzzer max_len=4096 ;;
    projectfile) fuzzer=ProjectFileFuzzer max_len=1024 ;;
    # 2 KiB: about twenty packets, every path of the upload, at a quarter of the cost of 8 KiB.
    tonewheelfile) fuzzer=TonewheelFileFuzzer max_len=2048 ;;
    # 4 KiB: an index of some twenty entries, or nesting far past the limit.
    xmlreaders) fuzzer=XmlReadersFuzzer max_len=4096 ;;
    *)
        echo "unknown target: $target (receive, projectfile, tonewheelfile, xmlreaders)" >&2
        exit 2
        ;;
    esac
    binary="build-fuzz/fuzz/$fuzzer"
    corpus="fuzz/corpus/$target"
    work="build-fuzz/work/$target"
    artifacts="build-fuzz/artifacts/$target/"
    log="build-fuzz/logs/$target.log"
    rm -rf "$work"
    mkdir -p "$corpus" "$work" "$artifacts" "$(dirname "$log")"

    echo "== $fuzzer: ${limit[*]} on $corpus"
    status=0
    "$binary" "${limit[@]}" -max_len="$max_len" -timeout=5 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$artifacts" "$work" "$corpus" >"$log" 2>&1 ||
        status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    grep -E "^#[0-9]+ +DONE" "$log" | tail -1 || true
    # A timeout whose input runs at once when tried again was the machine
    # stalling (a busy shared machine can stop a process for seconds), not
    # a hang: it is reported, and the run's inputs are kept as after any run.
    timeout_input=$(grep -o "Test unit written to .*/timeout-[0-9a-f]*" "$log" | sed 's/.* //' |
        tail -1 || true)
    if [ "$status" -ne 0 ] && [ -n "$timeout_input" ] &&
        "$binary" -timeout=5 -runs=3 "$timeout_input" >>"$log" 2>&1; then
        echo "   timeout not reproduced (its input runs at once): the machine stalled; $timeout_input"
        status=0
    fi
    if [ "$status" -ne 0 ]; then
        failed=1
        echo "   FINDING (exit $status): $(grep -E "ERROR|SUMMARY|runtime error" "$log" | head -3)"
        echo "   input kept in $artifacts; the whole report is in $log"
        continue
    fi

    # The smallest set of inputs that reaches everything the corpus and this
    # run reached. The named seeds stay whatever it holds; of the inputs
    # found (named by their SHA-1), only those in the set.
    before=$(find "$corpus" -type f | wc -l)
    minimal="build-fuzz/work/$target-minimal"
    rm -rf "$minimal"
    mkdir -p "$minimal"
    "$binary" -merge=1 -max_len="$max_len" "$minimal" "$corpus" "$work" >>"$log" 2>&1
    seeds=$(find "$corpus" -type f ! -regex '.*/[0-9a-f]\{40\}' -exec sha1sum {} + | cut -c1-40)
    for found in "$corpus"/*; do
        name=$(basename "$found")
        if [[ $name =~ ^[0-9a-f]{40}$ ]] && [ ! -e "$minimal/$name" ]; then rm "$found"; fi
    done
    for kept in "$minimal"/*; do
        name=$(basename "$kept")
        grep -qx "$name" <<<"$seeds" || cp -n "$kept" "$corpus/"
    done
    after=$(find "$corpus" -type f | wc -l)
    echo "   ${runs:-?} executions (${rate:-?} per second), no finding; corpus $before -> $after inputs (minimised)"
done
exit "$failed"
