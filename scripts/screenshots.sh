#!/usr/bin/env bash
# Renders every page and view of the window into docs/screenshots/ (PNG,
# 1024 x 685), as shown in the README.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
xvfb-run -a -s "-screen 0 1280x800x24" "${KESTRA_BUILD_DIR:-build}/tests/RenderScreenshots" docs/screenshots
ls docs/screenshots
