#!/bin/sh
# Times quorvi-catalog on this machine's real apt lists:
#   (1) the Packages index of one suite alone,
#   (2) that Packages index plus its Contents-<arch> and Contents-all.
# Prints wall time, CPU time, peak memory and catalogue size for each.
# The lists come from `apt-get update` (Packages) and `apt-file update`
# (Contents). Not a test: nothing here passes or fails on timing.
#
# usage: bench-builder.sh [BUILDER] [LISTS_DIR] [SUITE] [ARCH]
#   BUILDER    quorvi-catalog binary (default: build-catalog/quorvi-catalog)
#   LISTS_DIR  default /var/lib/apt/lists
#   SUITE      default bookworm, component main
#   ARCH       default amd64
set -eu

here=$(cd "$(dirname "$0")/../.." && pwd)
builder=${1:-$here/build-catalog/quorvi-catalog}
lists=${2:-/var/lib/apt/lists}
suite=${3:-bookworm}
arch=${4:-amd64}

[ -x "$builder" ] || { echo "no builder at $builder (build it first)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package time)" >&2; exit 1; }

# apt-file writes the Contents files at the end of its update; wait for it.
while pgrep -x apt-file >/dev/null 2>&1; do
    echo "waiting for a running apt-file to finish..." >&2
    sleep 5
done

find_list() { # $1 = file name suffix pattern
    ls "$lists"/*_dists_"${suite}"_main_$1 2>/dev/null | head -n 1
}
packages=$(find_list "binary-${arch}_Packages*")
contents_arch=$(find_list "Contents-${arch}*")
contents_all=$(find_list "Contents-all*")
for f in "$packages" "$contents_arch" "$contents_all"; do
    [ -n "$f" ] || { echo "missing lists for $suite/main/$arch in $lists" >&2; exit 1; }
done

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

run() { # $1 = label, rest = builder arguments
    label=$1
    shift
    echo "== $label"
    echo "   load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
    /usr/bin/time -v "$builder" --quiet -o "$out/catalog.db" "$@" 2>"$out/time.txt"
    grep -E 'Elapsed \(wall|User time|System time|Maximum resident' "$out/time.txt" |
        sed 's/^\s*/   /'
    echo "   catalogue size: $(stat -c %s "$out/catalog.db") bytes"
}

echo "inputs:"
ls -l "$packages" "$contents_arch" "$contents_all" | sed 's/^/   /'
run "Packages only" --packages "$packages"
run "Packages + Contents-$arch + Contents-all" \
    --packages "$packages" --contents "$contents_arch" --contents "$contents_all"

if command -v sqlite3 >/dev/null; then
    echo "   space by table/index (MB):"
    sqlite3 "$out/catalog.db" "SELECT name, sum(pgsize) / 1048576 FROM dbstat
                               GROUP BY name HAVING sum(pgsize) >= 1048576 ORDER BY 2 DESC" |
        sed 's/^/      /'
fi
