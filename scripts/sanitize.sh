#!/usr/bin/env bash
# Builds the editor and every test with sanitizers and runs the tests; the
# first report ends the run with a failure.
#
#   scripts/sanitize.sh address   AddressSanitizer + UndefinedBehaviorSanitizer
#                                 (and LeakSanitizer), every test, into build-asan/
#   scripts/sanitize.sh thread    ThreadSanitizer, every test, into build-tsan/
#   scripts/sanitize.sh all       both, one after the other (the default)
#
# Extra arguments go to both ctest runs (for example -R Simulator). The GUI
# tests run inside a virtual X display (xvfb-run).
#
# KESTRA_SANITIZE_PROGRAMS="CoreTests WindowTests:Stress.*:Pictures.*" builds
# only those test programs (and what they link) and runs them: a program
# alone runs whole, a program with a colon runs the Google Test filter after
# it. Further arguments go to each program. CI runs ThreadSanitizer so on the
# tests that exercise the threads (.ci/run). Reports that come from
# libraries outside this project are suppressed in scripts/sanitizers/*.supp,
# each entry with its reason; our own code gets no suppression.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
mode="${1:-all}"
[ $# -gt 0 ] && shift
case "$mode" in
address | thread | all) ;;
*)
    echo "usage: scripts/sanitize.sh [address|thread|all] [ctest arguments]" >&2
    exit 2
    ;;
esac

scripts/install-deps.sh
jobs="${KESTRA_TEST_JOBS:-2}"
supp="$root/scripts/sanitizers"

# halt_on_error / abort_on_error: the first report fails the test that made it.
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1:suppressions=$supp/asan.supp"
export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:abort_on_error=1:print_stacktrace=1:suppressions=$supp/ubsan.supp"
export TSAN_OPTIONS="halt_on_error=1:abort_on_error=1:second_deadlock_stack=1:history_size=4:suppressions=$supp/tsan.supp"

run() {
    local sanitizers="$1" build_dir="$2"
    shift 2
    echo "== ${sanitizers}: building into ${build_dir}"
    # -fno-sanitize-recover: an undefined-behaviour report aborts at once,
    # whatever UBSAN_OPTIONS say. GCC's "may be used uninitialized" warns
    # wrongly inside libstdc++ (std::regex, std::function) once the code is
    # instrumented; it stays on in the ordinary builds.
    local flags="-Wno-maybe-uninitialized"
    [ "$sanitizers" = thread ] || flags="$flags -fno-sanitize-recover=undefined"
    # JUCE opens the X libraries with dlopen and closes them at shutdown, so
    # that LeakSanitizer cannot name the code of what they keep until exit.
    # Linked in as well, they stay loaded, and scripts/sanitizers/lsan.supp
    # can name them.
    local x_libraries="-Wl,--no-as-needed -l:libX11.so.6 -l:libXext.so.6 -l:libXcursor.so.1"
    x_libraries="$x_libraries -l:libXinerama.so.1 -l:libXrender.so.1 -l:libXrandr.so.2 -Wl,--as-needed"
    cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DKESTRA_SANITIZE="$sanitizers" -DKESTRA_BUILD_BENCHMARKS=OFF -DKESTRA_WERROR=ON \
        -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$x_libraries" >/dev/null
    local targets=()
    for entry in ${KESTRA_SANITIZE_PROGRAMS:-}; do
        targets+=(--target "${entry%%:*}")
    done
    cmake --build "$build_dir" -j "$jobs" "${targets[@]}"
    if [ ${#targets[@]} -eq 0 ]; then
        echo "== ${sanitizers}: headless tests"
        ctest --test-dir "$build_dir" --output-on-failure -j "$jobs" -LE gui "$@"
        echo "== ${sanitizers}: window tests (xvfb-run)"
        xvfb-run -a -s "-screen 0 1280x800x24" \
            ctest --test-dir "$build_dir" --output-on-failure -j "$jobs" -L gui "$@"
    else
        # Each program runs in a virtual display of its own (the window tests
        # need one); the first report or failure ends the run.
        echo "== ${sanitizers}: ${KESTRA_SANITIZE_PROGRAMS} (xvfb-run)"
        for entry in ${KESTRA_SANITIZE_PROGRAMS}; do
            local program="${entry%%:*}" filter=()
            [ "$program" = "$entry" ] || filter=(--gtest_filter="${entry#*:}")
            echo "== ${sanitizers}: ${program} ${filter[*]}"
            xvfb-run -a -s "-screen 0 1280x800x24" "$build_dir/tests/$program" --gtest_brief=1 \
                "${filter[@]}" "$@"
        done
    fi
}

if [ "$mode" = address ] || [ "$mode" = all ]; then
    run address,undefined build-asan "$@"
fi
if [ "$mode" = thread ] || [ "$mode" = all ]; then
    run thread build-tsan "$@"
fi
echo "== sanitizers: no reports"
