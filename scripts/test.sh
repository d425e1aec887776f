#!/bin/sh
# Builds Varrow with its tests and runs the whole suite: unit, widget, voice and end-to-end runs.
# VARROW_SANITIZE=1 also runs the fuzzers' smoke runs, the whole suite again in an
# AddressSanitizer + UndefinedBehaviorSanitizer build, and the unit and voice suites in a
# ThreadSanitizer build.
# VARROW_PACKAGE_TEST=1 (root only; CI) adds a test that builds the Debian package, installs it into
# this machine, runs it and purges it.
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/scripts/packages.sh"
package_test=OFF
if [ "${VARROW_PACKAGE_TEST:-0}" = 1 ]; then
    package_test=ON
    VARROW_TEST_PACKAGES="$VARROW_TEST_PACKAGES $VARROW_DEB_PACKAGES $VARROW_PACKAGE_TEST_PACKAGES"
fi
varrow_install_packages $VARROW_BUILD_PACKAGES $VARROW_TEST_PACKAGES $VARROW_WAYLAND_TEST_PACKAGES
jobs="$(nproc)"

ctest_args=""
build_targets=""
run_suite() { # build-dir, extra cmake arguments...
    dir="$1"; shift
    cmake -S "$root" -B "$dir" "$@"
    if [ -n "$build_targets" ]; then
        cmake --build "$dir" -j"$jobs" --target $build_targets
    else
        cmake --build "$dir" -j"$jobs"
    fi
    (cd "$dir" && ctest --output-on-failure -j"$jobs" $ctest_args)
}

run_suite "$root/build" -DCMAKE_BUILD_TYPE=Release -DVARROW_PACKAGE_TEST=$package_test
# The benchmarks run by hand (bench/run.sh), but they are built here so that they keep building.
cmake --build "$root/build" -j"$jobs" --target benchmarks varrow-voice-bench
if [ "${VARROW_SANITIZE:-0}" = 1 ]; then
    export LSAN_OPTIONS="suppressions=$root/tests/sanitizer/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1"
    # The compositor runs check window behaviour, which the sanitizers have nothing to add to.
    ctest_args="-LE wayland"
    # Short smoke runs of the fuzzers on the corpus kept in fuzz/corpus.
    run_suite "$root/build-fuzz" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVARROW_FUZZ=ON -DVARROW_TESTS=OFF
    # The threads are in the character service and the voice input; the runs of the real program
    # add nothing a unit suite does not exercise there.
    # Tests start helper programs (a session bus) after threads exist.
    export TSAN_OPTIONS="suppressions=$root/tests/sanitizer/tsan.supp die_after_fork=0"
    ctest_args="-LE e2e|wayland|package"
    build_targets="app_tests platform_tests desktop_tests speech_tests input_tests character_tests devices_tests main_tests alarm_tests calendar_tests
        launcher_tests voice_tests"
    # The speech test's sound server, started here: one the test started itself would be forked from
    # a checked process, which scrambles the checker's view of the locks taken after it.
    pulse_dir="$(mktemp -d)"
    printf 'load-module module-native-protocol-unix socket=%s/native auth-anonymous=1\nload-module module-null-sink sink_name=out\nset-default-sink out\n' \
        "$pulse_dir" > "$pulse_dir/server.pa"
    HOME="$pulse_dir" XDG_RUNTIME_DIR="$pulse_dir" XDG_CONFIG_HOME="$pulse_dir" DBUS_SESSION_BUS_ADDRESS= \
        pulseaudio -n -F "$pulse_dir/server.pa" --exit-idle-time=-1 --daemonize=no --disallow-exit \
        --use-pid-file=no --disable-shm=yes > "$pulse_dir/log" 2>&1 &
    pulse_pid=$!
    trap 'kill "$pulse_pid" 2>/dev/null || true' EXIT
    for _ in $(seq 100); do [ -S "$pulse_dir/native" ] && break; sleep 0.1; done
    export VARROW_TEST_PULSE_SERVER="unix:$pulse_dir/native"
    run_suite "$root/build-tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARROW_TSAN=ON
    kill "$pulse_pid" 2>/dev/null || true
    unset VARROW_TEST_PULSE_SERVER
    ctest_args="-LE wayland"
    build_targets=""
    run_suite "$root/build-sanitize" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARROW_SANITIZE=ON
fi
