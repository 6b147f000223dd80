#!/bin/sh
# Times the shell's programs on the benchmark's catalogue (bench/prepare.sh) and measures
# the alternatives rule on this machine; writes bench/shell-results.md.
#   - quorvi-command-not-found warm and cold, beside Debian's command-not-found: the script
#     installs it (and fills its database), times it, and purges it again (its apt hook
#     slows every apt update) unless it was installed before;
#   - quorvi-find search and list beside the engine in-process and apt-file (when installed);
#   - quorvi-alternatives-check against /var/lib/dpkg/alternatives.
# Usage: bench/shell-bench.sh [DATA_DIR] [REPS]   (default build/bench-data, 101)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
data=${1:-$root/build/bench-data}
reps=${2:-101}
build=${QUORVI_BUILD:-$root/build}
catalogue=$data/full/os_pkg_list.db
out=$root/bench/shell-results.md
[ -s "$catalogue" ] || { echo "shell-bench.sh: no catalogue at $catalogue (bench/prepare.sh)" >&2; exit 1; }
cmake --build "$build" -j2 --target quorvi-find quorvi-command-not-found quorvi-shell-bench quorvi-alternatives-check >&2

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}
had_cnf=yes
if ! dpkg-query -W -f='${Status}' command-not-found 2>/dev/null | grep -q "ok installed"; then
    had_cnf=no
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends command-not-found >&2
    as_root update-command-not-found >&2 || true
fi

# From a folder without a catalogue of its own, so that only --catalogue counts.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
{
    echo "# The shell's programs: $(date -u '+%Y-%m-%d %H:%M UTC'), load average $(cut -d' ' -f1-3 /proc/loadavg)"
    echo
    echo "Medians over $reps runs (warm), a tenth of that (cold: the program, its libraries and"
    echo "the catalogue dropped from the page cache before each run). Debian's command-not-found"
    echo "$( [ "$had_cnf" = yes ] && echo "was installed before." || echo "was installed for the run and purged after it." )"
    echo
    (cd "$work" && "$build/bench/quorvi-shell-bench" "$catalogue" "$build/shell/quorvi-find" \
        "$build/shell/quorvi-command-not-found" "$reps")
    echo
    echo "## The alternatives rule on this machine"
    echo
    "$build/bench/quorvi-alternatives-check" "$catalogue"
} > "$out"

if [ "$had_cnf" = no ]; then
    as_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq command-not-found >&2
fi
cat "$out"
