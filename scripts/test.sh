#!/bin/sh
# Builds the finder, the catalogue builder and every test, then runs the tests.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
build=${QUORVI_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo ${QUORVI_CMAKE_ARGS:-}
cmake --build "$build" -j2
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
