#!/usr/bin/env bash
# Installs what is missing, builds the editor alone (no test program, no
# benchmark: scripts/run-tests.sh builds those), and starts it. It needs an X
# display ($DISPLAY); without one it is started inside a virtual one (Xvfb),
# where it runs but nobody sees it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
KESTRA_BUILD_TARGETS=KestraEditor scripts/build.sh
editor="${KESTRA_BUILD_DIR:-build}/KestraEditor"
if [ -n "${DISPLAY:-}" ]; then
    exec "$editor" "$@"
fi
echo "No X display (\$DISPLAY is empty): starting the editor inside Xvfb." >&2
exec xvfb-run -a -s "-screen 0 1280x800x24" "$editor" "$@"
