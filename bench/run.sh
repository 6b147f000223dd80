#!/bin/sh
# Builds the benchmark and the catalogue builder, prepares the data when missing (or of an
# older catalogue format), times apt's update hook, runs quorvi-bench once and writes its
# table to stdout and to DATA/results.md.
# Usage: bench/run.sh [quorvi-bench options, e.g. --reps 5 --plans]
# Environment: BUILD_DIR (default build-bench), DATA_DIR (default build/bench-data),
#              REBUILD=1 prepares the data again (the build's own time is a row),
#              NO_HOOK=1 leaves the hook's rows out (they cost two catalogue builds).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-bench}
data=${DATA_DIR:-$root/build/bench-data}
builder=$build/catalog/quorvi-catalog

[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >&2
cmake --build "$build" -j2 --target quorvi-bench quorvi-catalog >&2

format=$(sqlite3 -readonly "$data/full/os_pkg_list.db" 'PRAGMA user_version' 2>/dev/null || echo 0)
version=$(sed -n 's/^#define QV_FORMAT_VERSION \([0-9]*\).*/\1/p' "$root/format/catalogueschema.h")
if [ "${REBUILD:-0}" = 1 ] || [ "$format" != "$version" ] || [ ! -f "$data/build.txt" ] ||
   [ ! -f "$data/plocate/plocate.db" ]; then
    QUORVI_CATALOG="$builder" "$root/bench/prepare.sh" "$data" >&2
fi

rm -f "$data/hook.txt"
if [ "${NO_HOOK:-0}" != 1 ]; then
    echo "timing apt's update hook (two catalogue builds)" >&2
    "$root/bench/hook-time.sh" "$builder" "$data" >"$data/hook.txt"
fi
QT_QPA_PLATFORM=offscreen "$build/bench/quorvi-bench" --data "$data" "$@" | tee "$data/results.md.tmp"
mv "$data/results.md.tmp" "$data/results.md"
echo "written to $data/results.md" >&2
