#!/usr/bin/env bash
# Configures and builds the editor and its tests into build/ (or $KESTRA_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${KESTRA_BUILD_DIR:-build}"
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="${KESTRA_BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
ninja -C "$build_dir"
