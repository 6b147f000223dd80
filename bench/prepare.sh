#!/bin/sh
# Prepares the benchmark catalogues from this machine's Debian bookworm apt lists:
#   DATA/full/os_pkg_list.db     bookworm main Packages + Contents-amd64 + Contents-all,
#                                with the trigram indexes the builder makes
#   DATA/plain/os_pkg_list.db    the same without the trigram and suffix tables and the package
#                                index (plain LIKE, one grouped statement, as older catalogues)
# Usage: bench/prepare.sh [DATA_DIR]   (default: build/bench-data under the repository)
# QUORVI_CATALOG names the builder binary (default: build-bench/catalog/quorvi-catalog).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/schema.sh"
data=${1:-$root/build/bench-data}
builder=${QUORVI_CATALOG:-$root/build-bench/catalog/quorvi-catalog}
lists=/var/lib/apt/lists
prefix=$lists/deb.debian.org_debian_dists_bookworm_main
packages=$prefix"_binary-amd64_Packages.lz4"
contents_amd64=$prefix"_Contents-amd64.lz4"
contents_all=$prefix"_Contents-all.lz4"

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# The lists come from apt itself; apt-file adds the Contents indexes to apt's targets.
if [ ! -e "$packages" ]; then
    as_root apt-get update
fi
if [ ! -e "$contents_amd64" ] || [ ! -e "$contents_all" ]; then
    command -v apt-file >/dev/null || as_root apt-get install -y apt-file
    as_root apt-file update
fi
for f in "$packages" "$contents_amd64" "$contents_all"; do
    [ -e "$f" ] || { echo "prepare.sh: missing $f (not a bookworm amd64 machine?)" >&2; exit 1; }
done
[ -x "$builder" ] || { echo "prepare.sh: no builder at $builder (build target quorvi-catalog)" >&2; exit 1; }

mkdir -p "$data/full" "$data/plain"
full=$data/full/os_pkg_list.db
plain=$data/plain/os_pkg_list.db

start=$(date +%s)
"$builder" --quiet -o "$full" --packages "$packages" --contents "$contents_amd64" --contents "$contents_all"
echo "built $full in $(( $(date +%s) - start )) s"

# The plain copy: the same rows and name and directory indexes, no trigram or suffix tables,
# no package index.
rm -f "$plain"
cp "$full" "$plain"
sqlite3 "$plain" "DROP TABLE $(qv QV_NAME_FTS); DROP TABLE $(qv QV_DIR_FTS); DROP TABLE $(qv QV_SUFFIX_TABLE); DROP INDEX $(qv QV_LINK_PKG_INDEX); DROP TABLE $(qv QV_PKG_SUFFIX_TABLE); VACUUM;"

full_size=$(stat -c %s "$full")
plain_size=$(stat -c %s "$plain")
echo "catalogue with trigram, suffix and package indexes:    $full_size bytes ($((full_size / 1048576)) MiB)"
echo "catalogue without trigram, suffix and package indexes: $plain_size bytes ($((plain_size / 1048576)) MiB)"
awk -v a="$full_size" -v b="$plain_size" 'BEGIN { printf "trigram, suffix and package indexes add %.1f%%\n", (a - b) * 100 / b }'
