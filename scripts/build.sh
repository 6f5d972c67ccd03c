#!/usr/bin/env bash
# Configures and builds into build/ (or $KESTRA_BUILD_DIR): every target (the
# editor, its tests and benchmarks), or only those named in
# $KESTRA_BUILD_TARGETS (blank-separated, e.g. "KestraEditor"). Arguments go
# to the configure step (e.g. -DKESTRA_WERROR=ON).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${KESTRA_BUILD_DIR:-build}"
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="${KESTRA_BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
read -r -a targets <<<"${KESTRA_BUILD_TARGETS:-}"
ninja -C "$build_dir" "${targets[@]}"
