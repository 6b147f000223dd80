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
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/schema.sh"
links=$(qv QV_LINK_TABLE)
dir_index=$(qv QV_LINK_DIR_INDEX)
dir_fts=$(qv QV_DIR_FTS)

copy=$(mktemp --suffix=.db)
trap 'rm -f "$copy"' EXIT

query="SELECT count(*) FROM $links f
       JOIN $(qv QV_NAME_TABLE) n ON n.$(qv QV_NAME_ID) = f.$(qv QV_LINK_NAME)
       JOIN $(qv QV_PKG_TABLE) p ON p.$(qv QV_PKG_ID) = f.$(qv QV_LINK_PKG)
       WHERE f.$(qv QV_LINK_DIR) IN (SELECT rowid FROM $dir_fts
                          WHERE $dir_fts MATCH '\"$dir\"');"

timed() { # $1 = database
    start=$(date +%s.%N)
    rows=$(sqlite3 "$1" "$query")
    end=$(date +%s.%N)
    echo "$rows rows in $(echo "$end - $start" | bc) s"
}

cp "$db" "$copy"
if [ -n "$(sqlite3 "$copy" "SELECT name FROM sqlite_master WHERE name = '$dir_index'")" ]; then
    sqlite3 "$copy" "DROP INDEX $dir_index; VACUUM;"
fi
without=$(stat -c %s "$copy")
echo "without dir_id index: $(timed "$copy") (warm: $(timed "$copy"))"
sqlite3 "$copy" "CREATE INDEX $dir_index ON $links($(qv QV_LINK_DIR));"
echo "with dir_id index:    $(timed "$copy") (warm: $(timed "$copy"))"
echo "size: $without -> $(stat -c %s "$copy") bytes"
