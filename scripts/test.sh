#!/bin/sh
# Builds the finder, the catalogue builder and every test, then runs the tests.
# The build treats compiler warnings (-Wall -Wextra) as errors (QUORVI_WERROR).
# With --sanitize (as CI runs it) a second build runs every test again under
# AddressSanitizer and UndefinedBehaviorSanitizer; a leak from our code fails it; a
# third build runs the finder's tests (tests/) under ThreadSanitizer.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh

run_tests() {
    build=$1
    shift
    cmake -S . -B "$build" "$@" ${QUORVI_CMAKE_ARGS:-}
    cmake --build "$build" -j2
    (cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2)
}

run_tests "${QUORVI_BUILD_DIR:-build}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVI_SANITIZE=OFF -DQUORVI_WERROR=ON
if [ "${1:-}" = "--sanitize" ]; then
    export ASAN_OPTIONS=detect_leaks=1
    export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    run_tests build-sanitize -DCMAKE_BUILD_TYPE=Debug -DQUORVI_SANITIZE=ON -DQUORVI_WERROR=OFF
    unset ASAN_OPTIONS LSAN_OPTIONS
    # Qt's own libraries are not built for ThreadSanitizer: what they synchronise inside
    # (queued signals, QThread start and wait) is invisible to it, see tests/tsan.supp.
    export TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp halt_on_error=1 second_deadlock_stack=1 history_size=7"
    cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVI_TSAN=ON -DQUORVI_WERROR=OFF ${QUORVI_CMAKE_ARGS:-}
    cmake --build build-tsan -j2 --target quorvi_finder_tests
    (cd build-tsan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 -L finder)
fi
