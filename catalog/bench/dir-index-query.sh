#!/bin/sh
# Measures what an index on qv_pkg_file_t(dir_id) is worth: times a
# directory search the way the finder does one (directories matching a text
# through qv_file_dir_fts, then every file in them with its package) on a
# catalogue without the index and on a copy with it, and reports the size
# it costs. Not a test.
#
# usage: dir-index-query.sh CATALOGUE [DIRECTORY]   (default /usr/bin)
set -eu
db=$1
dir=${2:-/usr/bin}
command -v sqlite3 >/dev/null || { echo "needs sqlite3" >&2; exit 1; }

copy=$(mktemp --suffix=.db)
trap 'rm -f "$copy"' EXIT

query="SELECT count(*) FROM qv_pkg_file_t f
       JOIN qv_file_name_t n ON n.id = f.name_id
       JOIN qv_pkg_list_t p ON p.id = f.pkg_id
       WHERE f.dir_id IN (SELECT rowid FROM qv_file_dir_fts
                          WHERE qv_file_dir_fts MATCH '\"$dir\"');"

timed() { # $1 = database
    start=$(date +%s.%N)
    rows=$(sqlite3 "$1" "$query")
    end=$(date +%s.%N)
    echo "$rows rows in $(echo "$end - $start" | bc) s"
}

cp "$db" "$copy"
if [ -n "$(sqlite3 "$copy" "SELECT name FROM sqlite_master WHERE name = 'qv_pkg_file_dir_idx'")" ]; then
    sqlite3 "$copy" "DROP INDEX qv_pkg_file_dir_idx; VACUUM;"
fi
without=$(stat -c %s "$copy")
echo "without dir_id index: $(timed "$copy") (warm: $(timed "$copy"))"
sqlite3 "$copy" "CREATE INDEX qv_pkg_file_dir_idx ON qv_pkg_file_t(dir_id);"
echo "with dir_id index:    $(timed "$copy") (warm: $(timed "$copy"))"
echo "size: $without -> $(stat -c %s "$copy") bytes"
