#!/bin/sh
# Prepares the benchmark's data from this machine's Debian bookworm apt lists (main,
# bookworm-updates and bookworm-security: every Packages and Contents index apt keeps):
#   DATA/full/os_pkg_list.db   the catalogue quorvi-catalog makes of them
#   DATA/build.txt             "SECONDS PEAK_KIB LOAD1 LOAD5 LOAD15" of that build
#                              (/usr/bin/time; load average at its start)
#   DATA/plocate/plocate.db    plocate's database of the same files' full paths
#   DATA/plocate/build.txt     the same figures for plocate-build, then the path count
#                              (both made again only when a Contents index is newer)
# Usage: bench/prepare.sh [DATA_DIR]   (default: build/bench-data under the repository)
# QUORVI_CATALOG names the builder binary (default: build-bench/catalog/quorvi-catalog).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
data=${1:-$root/build/bench-data}
builder=${QUORVI_CATALOG:-$root/build-bench/catalog/quorvi-catalog}
lists=/var/lib/apt/lists

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# The lists come from apt itself; apt-file adds the Contents indexes to apt's targets.
bookworm_lists() { # $1: a glob, expanded here on purpose
    # shellcheck disable=SC2086
    ls "$lists"/*_dists_bookworm*_main_$1 2>/dev/null || true
}
[ -n "$(bookworm_lists 'binary-amd64_Packages*')" ] || as_root apt-get update
if [ -z "$(bookworm_lists 'Contents-amd64*')" ]; then
    command -v apt-file >/dev/null || as_root apt-get install -y apt-file
    as_root apt-file update
fi
packages=$(bookworm_lists 'binary-amd64_Packages*')
contents=$(bookworm_lists 'Contents-*')
if [ -z "$packages" ] || [ -z "$contents" ]; then
    echo "prepare.sh: no bookworm amd64 Packages and Contents in $lists" >&2
    exit 1
fi
[ -x "$builder" ] || { echo "prepare.sh: no builder at $builder (build target quorvi-catalog)" >&2; exit 1; }
[ -x /usr/bin/time ] || as_root apt-get install -y time
command -v plocate-build >/dev/null || as_root apt-get install -y plocate

sources=""
for f in $packages; do sources="$sources --packages $f"; done
for f in $contents; do sources="$sources --contents $f"; done

timed() { # OUTPUT_FILE, command...: "SECONDS PEAK_KIB" and the load average at the start
    out=$1
    shift
    load=$(cut -d' ' -f1-3 /proc/loadavg)
    /usr/bin/time -f '%e %M' -o "$out.tmp" "$@"
    echo "$(cat "$out.tmp") $load" >"$out"
    rm -f "$out.tmp"
}

mkdir -p "$data/full" "$data/plocate"
full=$data/full/os_pkg_list.db
rm -f "$full"
# shellcheck disable=SC2086 # the source options are words without spaces
timed "$data/build.txt" "$builder" --quiet -o "$full" $sources
echo "built $full: $(stat -c %s "$full") bytes; seconds, peak KiB, load: $(cat "$data/build.txt")"

# plocate's input: the full paths of the same Contents indexes (a path, spaces, then the
# packages: the last field goes), once each. Made again only when a list is newer.
locate_db=$data/plocate/plocate.db
# shellcheck disable=SC2086
if [ -s "$locate_db" ] && [ -s "$data/plocate/build.txt" ] && [ -z "$(find $contents -newer "$locate_db")" ]; then
    exit 0
fi
paths=$data/plocate/paths.txt
for f in $contents; do lz4cat "$f"; done |
    sed -e 's/[[:space:]]\+[^[:space:]]*$//' -e 's#^#/#' | LC_ALL=C sort -u >"$paths"
# -l no: report paths that do not exist on this machine (all of them, mostly).
timed "$data/plocate/build.txt" plocate-build -p -l no "$paths" "$locate_db"
echo "$(cat "$data/plocate/build.txt") $(wc -l <"$paths")" >"$data/plocate/build.txt"
rm -f "$paths"
echo "built $locate_db: $(stat -c %s "$locate_db") bytes;" \
     "seconds, peak KiB, load, paths: $(cat "$data/plocate/build.txt")"
