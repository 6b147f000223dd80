#!/bin/sh
# Builds the benchmark and the catalogue builder, prepares the data when missing, runs
# quorvi-bench once and writes its table to stdout and to DATA/results.md.
# Usage: bench/run.sh [quorvi-bench options, e.g. --reps 5 --plans]
# Environment: BUILD_DIR (default build-bench), DATA_DIR (default build/bench-data),
#              VARIANTS=1 also makes the proposal copies (bench/variants.sh) and times them.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-bench}
data=${DATA_DIR:-$root/build/bench-data}

[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >&2
cmake --build "$build" -j2 --target quorvi-bench quorvi-catalog >&2

if [ ! -f "$data/full/os_pkg_list.db" ] || [ ! -f "$data/plain/os_pkg_list.db" ]; then
    QUORVI_CATALOG="$build/catalog/quorvi-catalog" "$root/bench/prepare.sh" "$data" >&2
fi

if [ "${VARIANTS:-0}" = 1 ]; then
    "$root/bench/variants.sh" "$data" >&2
    set -- "$@" --variant "$data/analyze"
fi
QT_QPA_PLATFORM=offscreen "$build/bench/quorvi-bench" --data "$data" "$@" | tee "$data/results.md.tmp"
mv "$data/results.md.tmp" "$data/results.md"
echo "written to $data/results.md" >&2
