#!/usr/bin/env bash
# Builds the fuzz targets with clang (core only, ASan + UBSan) and runs each
# for a while on its corpus in fuzz/corpus/<name>; new inputs that reach new
# code are kept there. Usage: scripts/fuzz.sh [seconds per target, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
KESTRA_WITH_FUZZERS=1 scripts/install-deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DKESTRA_CORE_ONLY=ON \
    -DKESTRA_BUILD_FUZZERS=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build-fuzz
for fuzzer in build-fuzz/fuzz/*Fuzzer; do
    name=$(basename "$fuzzer" Fuzzer | tr '[:upper:]' '[:lower:]')
    corpus="fuzz/corpus/${name/receivepath/receive}"
    mkdir -p "$corpus"
    echo "== $(basename "$fuzzer"): ${seconds}s on $corpus"
    "$fuzzer" -max_total_time="$seconds" -max_len=4096 -timeout=5 "$corpus" 2>&1 |
        grep -E "^#[0-9]+.*(DONE|pulse)|ERROR|SUMMARY|Done" | tail -3
done
