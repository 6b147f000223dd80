#!/bin/sh
# Times quorvi-catalog on this machine's real apt lists: every Packages and
# Contents index of one release that apt keeps (e.g. bookworm, bookworm-updates and
# bookworm-security), first the Packages indexes alone, then with the Contents
# indexes. Prints wall time, CPU time, peak memory and catalogue size for each,
# and the space each table takes. Not a test: nothing here passes or fails on timing.
#
# usage: bench-builder.sh [BUILDER] [LISTS_DIR] [RELEASE]
#   BUILDER    quorvi-catalog binary (default: build-catalog/quorvi-catalog)
#   LISTS_DIR  default /var/lib/apt/lists
#   RELEASE    default bookworm
set -eu

here=$(cd "$(dirname "$0")/../.." && pwd)
builder=${1:-$here/build-catalog/quorvi-catalog}
lists=${2:-/var/lib/apt/lists}
release=${3:-bookworm}

[ -x "$builder" ] || { echo "no builder at $builder (build it first)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package time)" >&2; exit 1; }

# apt-file writes the Contents files at the end of its update; wait for it.
while pgrep -x apt-file >/dev/null 2>&1; do
    echo "waiting for a running apt-file to finish..." >&2
    sleep 5
done

packages=""
contents=""
for f in "$lists"/*_dists_"${release}"*_Packages*; do
    [ -f "$f" ] && packages="$packages --packages $f"
done
for f in "$lists"/*_dists_"${release}"*_Contents-*; do
    [ -f "$f" ] && contents="$contents --contents $f"
done
[ -n "$packages" ] || { echo "no Packages index of $release in $lists" >&2; exit 1; }
[ -n "$contents" ] || { echo "no Contents index of $release in $lists" >&2; exit 1; }

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

run() { # $1 = label, rest = builder arguments
    label=$1
    shift
    echo "== $label"
    echo "   load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
    /usr/bin/time -v "$builder" --quiet -o "$out/catalog.db" "$@" >"$out/summary.txt" 2>"$out/time.txt"
    tail -n 1 "$out/summary.txt" | sed 's/^/   /'
    grep -E 'Elapsed \(wall|User time|System time|Maximum resident' "$out/time.txt" |
        sed 's/^\s*/   /'
    echo "   catalogue size: $(stat -c %s "$out/catalog.db") bytes"
}

echo "inputs:"
# shellcheck disable=SC2086
ls -l $(echo $packages $contents | sed 's/--[a-z]* //g') | sed 's/^/   /'
# shellcheck disable=SC2086
run "Packages only" $packages
# shellcheck disable=SC2086
run "Packages + Contents" $packages $contents

if command -v sqlite3 >/dev/null; then
    echo "   bytes by table (dbstat):"
    sqlite3 -readonly "$out/catalog.db" "SELECT name, sum(pgsize) FROM dbstat GROUP BY name ORDER BY 2 DESC" |
        sed 's/^/      /'
fi
