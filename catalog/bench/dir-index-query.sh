#!/bin/sh
# Measures whether the finder would need an index on qv_pkg_file_t(dir_id):
# times "every file in one directory, with its package" on a catalogue as
# built, then on a copy with such an index, and reports the size it costs.
# Not a test.
#
# usage: dir-index-query.sh CATALOGUE [DIRECTORY]   (default /usr/bin)
set -eu
db=$1
dir=${2:-/usr/bin}
command -v sqlite3 >/dev/null || { echo "needs sqlite3" >&2; exit 1; }

copy=$(mktemp --suffix=.db)
trap 'rm -f "$copy"' EXIT

query="SELECT count(*) FROM qv_file_dir_t d
       JOIN qv_pkg_file_t f ON f.dir_id = d.id
       JOIN qv_file_name_t n ON n.id = f.name_id
       JOIN qv_pkg_list_t p ON p.id = f.pkg_id
       WHERE d.path = '$dir';"

timed() { # $1 = database
    start=$(date +%s.%N)
    rows=$(sqlite3 "$1" "$query")
    end=$(date +%s.%N)
    echo "$rows rows in $(echo "$end - $start" | bc) s"
}

echo "without dir_id index: $(timed "$db")"
cp "$db" "$copy"
sqlite3 "$copy" "CREATE INDEX qv_pkg_file_dir_idx ON qv_pkg_file_t(dir_id);"
echo "with dir_id index:    $(timed "$copy")"
echo "size: $(stat -c %s "$db") -> $(stat -c %s "$copy") bytes"
