# Sourced by the Windows test scripts: a virtual X display and a Wine session
# of their own, ended when the script exits.
#
#   wine_session_start BUILD_DIR
#
# Sets DISPLAY, WINEPREFIX (BUILD_DIR/wine unless already set), WINEDEBUG and
# WINEDLLOVERRIDES. A session already started by a calling script is reused.
#
# Wine starts helper processes (its server, device services) that outlive the
# program it ran and keep the caller's output pipes open; CTest would wait for
# them after every test. A persistent server, started once with its output
# elsewhere, keeps them out of the tests' way and makes each start of a
# program cheap (a tenth of a second instead of three).
#
# Xvfb has no window manager. Wine's X11 driver by default leaves its
# top-level windows to one, and before it shows such a "managed" window again
# it waits for the window manager to mark it withdrawn, up to two seconds
# (`fixme:event:wait_for_withdrawn_state ... wait timed out` with
# WINEDEBUG=+event). A JUCE message box is five windows (the box and four
# shadow windows), so every box came up about ten seconds late. The session
# therefore sets `Managed` to `N` under `HKCU\Software\Wine\X11 Driver` in
# its prefix: Wine places the windows itself, as a window manager-less
# display needs (KestraEditor.exe itself excepted, see below). Real Windows
# has no such setting and is unaffected.
#
# Also here, for the scripts that source this file:
#
#   fail MESSAGE...          prints "NAME: FAILED: MESSAGE" (NAME is
#                            $wine_session_name, else the script's), runs the
#                            function wine_session_on_failure if the script
#                            defines one, and exits with 1
#   wait_for SECONDS CMD...  polls CMD until it succeeds, for at most
#                            SECONDS; runs wine_session_still_alive (if
#                            defined) between polls

wine_session_start() {
    local build_dir=$1
    [ -n "${KESTRA_WINE_SESSION:-}" ] && return 0
    export WINEPREFIX="${WINEPREFIX:-$(realpath "$build_dir")/wine}"
    export WINEDEBUG="${WINEDEBUG:--all}"
    # No Mono or Gecko installers (they would ask with a window), no menu
    # entries or file associations on the Linux desktop.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    mkdir -p "$WINEPREFIX"

    wine_session_dir=$(mktemp -d "${TMPDIR:-/tmp}/kestra-wine.XXXXXX")
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp \
        3>"$wine_session_dir/display" 2>"$wine_session_dir/xvfb.out" &
    wine_session_xvfb=$!
    trap wine_session_stop EXIT
    local tries=0
    until [ -s "$wine_session_dir/display" ]; do
        tries=$((tries + 1))
        if [ $tries -gt 200 ] || ! kill -0 "$wine_session_xvfb" 2>/dev/null; then
            echo "Xvfb did not start: $(cat "$wine_session_dir/xvfb.out")" >&2
            return 1
        fi
        sleep 0.1
    done
    export DISPLAY=":$(head -n 1 "$wine_session_dir/display")"

    wineserver -p </dev/null >/dev/null 2>&1
    # The first start creates the prefix (half a minute).
    wine cmd /c exit </dev/null >"$wine_session_dir/wine-start.out" 2>&1 || {
        echo "Wine does not start:" >&2
        cat "$wine_session_dir/wine-start.out" >&2
        return 1
    }
    # See above: no window manager in Xvfb. Wine reads it when a program starts.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
        </dev/null >"$wine_session_dir/wine-reg.out" 2>&1 || {
        echo "Wine's registry cannot be set:" >&2
        cat "$wine_session_dir/wine-reg.out" >&2
        return 1
    }
    # The editor itself stays managed: unmanaged, Wine draws its title bar and
    # frame inside the X window, and the end-to-end test measures the window
    # as Windows users see its inside (1024 x 685). It tolerates the late boxes.
    wine reg add 'HKCU\Software\Wine\AppDefaults\KestraEditor.exe\X11 Driver' /v Managed /d Y /f \
        </dev/null >"$wine_session_dir/wine-reg.out" 2>&1 || {
        echo "Wine's registry cannot be set:" >&2
        cat "$wine_session_dir/wine-reg.out" >&2
        return 1
    }
    # Windows programs share a desktop process (explorer.exe /desktop). Wine
    # starts it from the first program that needs it, and it takes over that
    # program's output; Wine ends it a second after its last user has gone.
    # Under CTest that output is the test's pipe, and CTest waits for the pipe
    # to close: a window test that had started the desktop while other window
    # tests kept it busy looked hung after it had passed, until its time limit.
    # tests/tools/WineDesktopKeeper.cpp is a user of the desktop for the whole
    # session, started here with its output nowhere, so that no test starts it.
    local keeper="$build_dir/tests/WineDesktopKeeper.exe"
    if [ -f "$keeper" ]; then
        wine "$keeper" </dev/null >/dev/null 2>&1 &
        # Up once it is still there after the second in which a desktop
        # without users would end.
        local waited=0
        until sleep 1.5 && wine_desktop_up; do
            waited=$((waited + 1))
            if [ $waited -gt 10 ]; then
                echo "Wine's desktop process does not stay up" >&2
                return 1
            fi
        done
    fi
    export KESTRA_WINE_SESSION=$$
}

# Whether a Wine desktop process (explorer.exe /desktop) runs.
wine_desktop_up() {
    grep -qsa 'explorer\.exe./desktop' /proc/[0-9]*/cmdline
}

wine_session_stop() {
    # Ends every Wine process of this prefix (all started here), then the display.
    wineserver -k </dev/null >/dev/null 2>&1 || true
    wineserver -w </dev/null >/dev/null 2>&1 || true
    if [ -n "${wine_session_xvfb:-}" ]; then
        kill "$wine_session_xvfb" 2>/dev/null || true
        wait "$wine_session_xvfb" 2>/dev/null || true
    fi
    rm -rf "${wine_session_dir:-}"
}

fail() {
    echo "${wine_session_name:-$(basename "$0" .sh)}: FAILED: $*" >&2
    if declare -F wine_session_on_failure >/dev/null; then
        wine_session_on_failure
    fi
    exit 1
}

wait_for() {
    local end=$(($(date +%s) + $1))
    shift
    until "$@"; do
        [ "$(date +%s)" -lt "$end" ] || return 1
        if declare -F wine_session_still_alive >/dev/null; then
            wine_session_still_alive
        fi
        sleep 0.1
    done
}
