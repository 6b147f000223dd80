#!/bin/sh
# Copies of the full catalogue with one proposed change each, for quorvi-bench --variant:
#   DATA/analyze/  ANALYZE run at the end (planner statistics in sqlite_stat1)
# Each copy is made only when missing; the time of the change itself is printed.
# (Earlier proposals, trigram tables with detail=none, columnsize=0 and the file names as
# the join's outer loop, are what the builder and the finder now do.)
# Usage: bench/variants.sh [DATA_DIR]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
data=${1:-$root/build/bench-data}
full=$data/full/os_pkg_list.db

timed() { # label, catalogue, SQL
    start=$(date +%s.%N)
    sqlite3 "$2" "$3"
    echo "$1: $(echo "$(date +%s.%N) - $start" | bc) s"
}

if [ ! -f "$data/analyze/os_pkg_list.db" ]; then
    mkdir -p "$data/analyze"
    cp "$full" "$data/analyze/os_pkg_list.tmp"
    timed "ANALYZE" "$data/analyze/os_pkg_list.tmp" "ANALYZE;"
    mv "$data/analyze/os_pkg_list.tmp" "$data/analyze/os_pkg_list.db"
fi
for v in full plain analyze; do
    echo "$v: $(stat -c %s "$data/$v/os_pkg_list.db") bytes"
done
