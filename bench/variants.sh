#!/bin/sh
# Copies of the full catalogue with one proposed change each, for quorvi-bench --variant:
#   DATA/analyze/  ANALYZE run at the end (planner statistics in sqlite_stat1)
#   DATA/slim/     trigram tables declared with detail=none, columnsize=0 (smaller index)
#   DATA/cover/    qv_pkg_file_t's name index made covering: (name_id, pkg_id, dir_id)
# Each copy is made only when missing; the time of the change itself is printed.
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
if [ ! -f "$data/slim/os_pkg_list.db" ]; then
    mkdir -p "$data/slim"
    cp "$data/plain/os_pkg_list.db" "$data/slim/os_pkg_list.tmp"
    timed "slim trigram tables" "$data/slim/os_pkg_list.tmp" "
CREATE VIRTUAL TABLE qv_file_name_fts USING fts5(name, content='qv_file_name_t', content_rowid='id',
    tokenize='trigram', detail='none', columnsize=0);
INSERT INTO qv_file_name_fts(qv_file_name_fts) VALUES('rebuild');
CREATE VIRTUAL TABLE qv_file_dir_fts USING fts5(path, content='qv_file_dir_t', content_rowid='id',
    tokenize='trigram', detail='none', columnsize=0);
INSERT INTO qv_file_dir_fts(qv_file_dir_fts) VALUES('rebuild');
VACUUM;"
    mv "$data/slim/os_pkg_list.tmp" "$data/slim/os_pkg_list.db"
fi
if [ ! -f "$data/cover/os_pkg_list.db" ]; then
    mkdir -p "$data/cover"
    cp "$full" "$data/cover/os_pkg_list.tmp"
    timed "covering index" "$data/cover/os_pkg_list.tmp" "
DROP INDEX qv_pkg_file_name_idx;
CREATE INDEX qv_pkg_file_name_idx ON qv_pkg_file_t(name_id, pkg_id, dir_id);
VACUUM;"
    mv "$data/cover/os_pkg_list.tmp" "$data/cover/os_pkg_list.db"
fi
for v in full plain analyze slim cover; do
    echo "$v: $(stat -c %s "$data/$v/os_pkg_list.db") bytes"
done
