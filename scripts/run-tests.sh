#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the headless ones
# directly, the window tests inside a virtual X display (Xvfb). A warning in
# our own code fails the build here (KESTRA_WERROR). KESTRA_BUILD_TYPE chooses
# the build type (default RelWithDebInfo; CI builds Release).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh -DKESTRA_WERROR=ON
build_dir="${KESTRA_BUILD_DIR:-build}"
jobs="${KESTRA_TEST_JOBS:-4}"
ctest --test-dir "$build_dir" --output-on-failure -j "$jobs" -LE gui
xvfb-run -a -s "-screen 0 1280x800x24" \
    ctest --test-dir "$build_dir" --output-on-failure -j "$jobs" -L gui
