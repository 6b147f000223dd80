#!/bin/sh
# Checks the package's apt configuration as apt itself parses it: the Contents target
# and the update hook are set, and beside apt-file's configuration (when this machine has
# it) every index target reads exactly as with apt-file's alone, so nothing is fetched twice.
# Usage: apt-config.sh OUR-FILE [APT-FILE-CONF]
set -u
ours=$1
theirs=${2:-/etc/apt/apt.conf.d/50apt-file.conf}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# apt-config's view of the files given, read as the only configuration parts.
dump() {
    rm -rf "$tmp/parts"
    mkdir -p "$tmp/parts"
    cp "$@" "$tmp/parts/"
    printf 'Dir::Etc::Parts "%s/parts";\nDir::Etc::Main "/dev/null";\n' "$tmp" > "$tmp/apt.conf"
    APT_CONFIG="$tmp/apt.conf" apt-config dump
}

mine=$(dump "$ours") || fail "apt-config cannot read $ours"
printf '%s\n' "$mine" | grep -qx 'Acquire::IndexTargets::deb::Contents-deb::MetaKey "$(COMPONENT)/Contents-$(ARCHITECTURE)";' \
    || fail "no Contents-deb target"
hook=$(printf '%s\n' "$mine" | grep '^APT::Update::Post-Invoke-Success:: ')
case $hook in
    *'"if [ -x /'*'/update-catalogue ]; then /'*'/update-catalogue; fi";') ;;
    *) fail "hook missing or unguarded: $hook" ;;
esac

if [ -f "$theirs" ]; then
    cp "$ours" "$tmp/50quorvi"
    alone=$(dump "$theirs" | grep '^Acquire::IndexTargets::')
    both=$(dump "$theirs" "$tmp/50quorvi" | grep '^Acquire::IndexTargets::')
    [ "$alone" = "$both" ] || fail "beside apt-file's configuration the index targets change:
$(printf '%s\n' "$alone" > "$tmp/a"; printf '%s\n' "$both" > "$tmp/b"; diff "$tmp/a" "$tmp/b")"
else
    echo "no $theirs here: the comparison with apt-file's configuration is left out"
fi

[ "$failures" -eq 0 ] && echo "apt configuration: all checks pass"
exit "$failures"
