#!/usr/bin/env bash
# Installs what is missing, builds, and starts the editor. It needs an X
# display ($DISPLAY); without one it is started inside a virtual one (Xvfb),
# where it runs but nobody sees it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
editor="${KESTRA_BUILD_DIR:-build}/KestraEditor"
if [ -n "${DISPLAY:-}" ]; then
    exec "$editor" "$@"
fi
echo "No X display (\$DISPLAY is empty): starting the editor inside Xvfb." >&2
exec xvfb-run -a -s "-screen 0 1280x800x24" "$editor" "$@"
