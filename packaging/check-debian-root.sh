#!/bin/sh
# Proves the Debian package in a throwaway Debian bookworm root: builds it there as a
# newcomer would (packaging/make-deb.sh on a copy of this tree, which installs what it
# needs), installs it with apt, runs apt-get update there and checks that
#   - the package's first build, started detached by its postinst, outlives apt install;
#   - apt-get update printed no warning or error, and after a list change it returns
#     within a second of apt's own work (the hook starts the build detached and does not
#     wait), and the catalogue is rebuilt shortly after;
#   - the system's catalogue exists and holds every package name of that root's Packages
#     lists and every path of its Contents lists;
#   - the finder, started offscreen in /root, opens the system's catalogue and a
#     file-name search for */bin/bash shows bash;
#   - quorvi-find search /usr/bin/ls exits 0 with coreutils' /bin/ls, a search for a file
#     no package ships exits 1, and the handler loads no QtGui, QtWidgets or QtSql;
#   - a new user's bash, login and not (with bash-completion, as Debian installs it),
#     answers ifconfig with net-tools and status 127, and runs quorvi-find there;
#   - a second update leaves the catalogue alone, a removed (not purged) package leaves
#     apt-get update working, and a purge removes /var/cache/quorvi.
# The minimal root made by debootstrap is cached as a tarball between runs.
#
# Usage (as root): packaging/check-debian-root.sh [--with-apt-file] [--deb FILE]
#   --with-apt-file  install apt-file first, so both configurations enable Contents
#   --deb FILE       install this package instead of building one in the root
# Environment: QUORVI_DEBIAN_MIRROR (default http://deb.debian.org/debian),
#   QUORVI_ROOT_CACHE (default ${XDG_CACHE_HOME:-$HOME/.cache}/quorvi-proof).
set -eu
cd "$(dirname "$0")/.."
with_apt_file=no
deb=""
while [ $# -gt 0 ]; do
    case $1 in
        --with-apt-file) with_apt_file=yes ;;
        --deb) deb=$2; shift ;;
        *) echo "usage: $0 [--with-apt-file] [--deb FILE]" >&2; exit 2 ;;
    esac
    shift
done
[ "$(id -u)" -eq 0 ] || { echo "$0: needs root (debootstrap, chroot, mount)" >&2; exit 2; }
mirror=${QUORVI_DEBIAN_MIRROR:-http://deb.debian.org/debian}
cache=${QUORVI_ROOT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quorvi-proof}
tarball=$cache/bookworm-minbase.tar.gz

failures=0
step() { printf '\n== %s\n' "$*"; }
pass() { echo "PASS: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

step "Debian root"
if [ ! -f "$tarball" ]; then
    mkdir -p "$cache"
    fresh=$(mktemp -d "$cache/root.XXXXXX")
    debootstrap --variant=minbase bookworm "$fresh" "$mirror"
    tar -C "$fresh" -czf "$tarball.part" .
    mv "$tarball.part" "$tarball"
    rm -rf "$fresh"
fi
root=$(mktemp -d /var/tmp/quorvi-root.XXXXXX)
cleanup() {
    umount "$root/dev/pts" 2>/dev/null || true
    umount "$root/proc" 2>/dev/null || true
    rm -rf "$root"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
tar -C "$root" -xzf "$tarball"
# The tarball's top folder came from mktemp (0700): apt's download user _apt could not
# reach its lists inside.
chmod 0755 "$root"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
mkdir -p "$root/dev/pts"
mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
echo "bookworm minbase from $tarball in $root"

now() { date +%s.%N; }
seconds() { awk "BEGIN { printf \"%.2f\", $2 - $1 }"; }
# Waits up to $2 seconds until the build log holds a line matching $1.
await_log() {
    n=0
    until grep -q -- "$1" "$root/var/log/quorvi-catalog.log" 2>/dev/null; do
        n=$((n + 1))
        [ "$n" -lt $(($2 * 10)) ] || return 1
        sleep 0.1
    done
}
in_root() {
    chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive "$@"
}
# Runs apt-get update in the root, shows its output and fails on any warning or error.
update() {
    in_root apt-get update > "$root/update.out" 2>&1 || fail "apt-get update $1: exit status $?"
    sed 's/^/  | /' "$root/update.out"
    if grep -E '^(W|E|Err):' "$root/update.out" >/dev/null; then
        fail "apt-get update $1 printed warnings or errors"
    else
        pass "apt-get update $1: no warning, no error"
    fi
}

in_root apt-get update -qq

step "package"
if [ -z "$deb" ]; then
    # The tree as it is (uncommitted changes included), without build folders.
    mkdir -p "$root/root/quorvi"
    tar --exclude=./.git --exclude='./build*' -cf - . | tar -C "$root/root/quorvi" -xf -
    in_root sh -c 'cd /root/quorvi && sh packaging/make-deb.sh' > "$root/make-deb.out" 2>&1 \
        || { tail -n 40 "$root/make-deb.out"; fail "packaging/make-deb.sh in the fresh root"; exit 1; }
    deb=$root/$(in_root sh -c 'cd /root/quorvi && ls build-deb/quorvi_*.deb' | sed 's|^|root/quorvi/|')
    pass "packaging/make-deb.sh built $(basename "$deb") in the fresh root; Depends: $(dpkg-deb -f "$deb" Depends)"
    in_root sh -c 'cd /root/quorvi && cmake --build build-deb -j2 --target quorvi-finder-probe' >/dev/null
    probe=$root/root/quorvi/build-deb/tools/finder-probe/quorvi-finder-probe
else
    cmake --build build-deb -j2 --target quorvi-finder-probe >/dev/null
    probe=build-deb/tools/finder-probe/quorvi-finder-probe
fi
echo "$deb"

if [ "$with_apt_file" = yes ]; then
    step "apt-file"
    in_root apt-get install -y -qq --no-install-recommends apt-file >/dev/null
    in_root dpkg-query -W apt-file
fi

step "apt install ./$(basename "$deb")"
cp "$deb" "$root/tmp/"
start=$(date +%s)
in_root apt-get install -y -qq --no-install-recommends "/tmp/$(basename "$deb")" >/dev/null
echo "apt-get install took $(($(date +%s) - start)) s"
in_root dpkg-query -W quorvi
if await_log ' packages, ' 600; then
    pass "the postinst's build, detached from apt, ended with a catalogue: $(tail -n 1 "$root/var/log/quorvi-catalog.log")"
else
    fail "no catalogue from the postinst's build: $(cat "$root/var/log/quorvi-catalog.log" 2>/dev/null)"
fi
handler=/usr/libexec/quorvi/quorvi-command-not-found
if in_root sh -c "ldd /usr/bin/quorvi /usr/bin/quorvi-catalog /usr/bin/quorvi-find $handler" | grep 'not found'; then
    fail "the programs miss libraries"
else
    pass "every library of the programs is installed"
fi
if in_root ldd "$handler" | grep -E 'libQt5(Gui|Widgets|Sql)'; then
    fail "the handler loads Qt's GUI or SQL libraries"
else
    pass "the handler loads no QtGui, QtWidgets or QtSql"
fi

step "apt-get update"
rm -f "$root/var/log/quorvi-catalog.log"
update "with the package"
await_log 'quorvi-catalog: ' 600 || fail "the hook started no build"
# The build runs on after apt; wait for its summary (or its failure).
await_log ' packages, \|nothing to do\|not rebuilt' 600 || fail "the build did not end"
contents=$(grep -c 'Contents (deb)' "$root/update.out" || true)
echo "Contents downloads announced: $contents"
dupes=$(grep -oE 'https?://[^ ]+ [^ ]+ [^ ]+ Contents[^]]*' "$root/update.out" | sort | uniq -d)
[ -z "$dupes" ] && pass "no Contents index fetched twice" || fail "fetched twice: $dupes"

step "the system's catalogue"
db=$root/var/cache/quorvi/os_pkg_list.db
lists=$root/var/lib/apt/lists
if [ ! -s "$db" ]; then
    fail "no catalogue at /var/cache/quorvi/os_pkg_list.db"
else
    ls -l "$db"
    cat "$root/var/log/quorvi-catalog.log"
    want=$(for f in "$lists"/*_Packages*; do /usr/lib/apt/apt-helper cat-file "$f"; done \
           | sed -n 's/^Package: //p' | sort -u | wc -l)
    have=$(sqlite3 "$db" 'SELECT count(DISTINCT name) FROM qv_pkg_list_t')
    echo "package names: lists $want, catalogue $have"
    [ "$want" -gt 0 ] && [ "$want" -eq "$have" ] && pass "every package of the lists" || fail "package names differ"
    if ls "$lists"/*_Contents-* >/dev/null 2>&1; then
        want=$(for f in "$lists"/*_Contents-*; do /usr/lib/apt/apt-helper cat-file "$f"; done \
               | sed 's/[[:space:]]\{1,\}[^[:space:]]\{1,\}$//' | sort -u | wc -l)
        cp "$probe" "$root/tmp/quorvi-finder-probe"
        have=$(in_root /tmp/quorvi-finder-probe --every-path /var/cache/quorvi/os_pkg_list.db | sort -u | wc -l)
        # Entries that name only packages missing from the Packages lists are left out and
        # counted by the builder.
        dropped=$(sed -n 's/^quorvi-catalog: \([0-9]*\) file entries named packages not in the catalogue.*/\1/p' \
                  "$root/var/log/quorvi-catalog.log")
        echo "file paths: Contents lists $want, catalogue $have, left out by the builder ${dropped:-0}"
        [ "$want" -gt 0 ] && [ "$want" -eq $((have + ${dropped:-0})) ] \
            && pass "every path of the Contents lists" || fail "file paths differ"
    else
        fail "apt fetched no Contents index"
    fi
fi

step "the finder in /root: file name */bin/bash"
cp "$probe" "$root/tmp/quorvi-finder-probe"
in_root sh -c 'cd /root && QT_QPA_PLATFORM=offscreen /tmp/quorvi-finder-probe --file-name "*/bin/bash"' \
    > "$root/probe.out" 2> "$root/probe.err" || fail "the finder probe: exit status $?"
cat "$root/probe.out"
grep -v -e '^app dir ' -e '^currentPath: ' -e '^pkg \.' -e '^"SELECT' -e 'propagateSizeHints' \
    -e 'XDG_RUNTIME_DIR' "$root/probe.err" || true
grep -q '^status: .*/var/cache/quorvi/os_pkg_list.db' "$root/probe.out" \
    && pass "the finder opened the system's catalogue" || fail "the status bar names no system catalogue"
grep -qP '^row: \d+\tbash-[^\t]+\t/(usr/)?bin/bash$' "$root/probe.out" \
    && pass "*/bin/bash shows bash" || fail "*/bin/bash does not show bash"

step "the shell: quorvi-find"
status=0
in_root quorvi-find search /usr/bin/ls > "$root/find.out" 2>&1 || status=$?
sed 's/^/  | /' "$root/find.out"
[ "$status" -eq 0 ] && grep -q '^coreutils: /bin/ls$' "$root/find.out" \
    && pass "quorvi-find search /usr/bin/ls: coreutils' /bin/ls, exit status 0" \
    || fail "quorvi-find search /usr/bin/ls: exit status $status"
status=0
in_root quorvi-find search nonexistent-file-xyz > "$root/find.out" 2>&1 || status=$?
[ "$status" -eq 1 ] && [ ! -s "$root/find.out" ] \
    && pass "quorvi-find search nonexistent-file-xyz: exit status 1, nothing printed" \
    || fail "quorvi-find search nonexistent-file-xyz: exit status $status"

step "the shell: a new user's bash answers an unknown command"
in_root apt-get install -y -qq --no-install-recommends bash-completion >/dev/null
in_root dpkg-query -W net-tools >/dev/null 2>&1 && fail "net-tools is installed: ifconfig is no unknown command"
in_root useradd -m -s /bin/bash quorvi-check
for flags in -il -i; do
    [ "$flags" = -il ] && kind=login || kind=non-login
    # A new shell as that user, as a terminal would start it, without the caller's environment.
    chroot --userspec=quorvi-check:quorvi-check "$root" /usr/bin/env -i HOME=/home/quorvi-check \
        USER=quorvi-check LOGNAME=quorvi-check SHELL=/bin/bash PATH=/usr/local/bin:/usr/bin:/bin:/usr/games \
        LANG=C.UTF-8 TERM=dumb /bin/bash "$flags" -c 'ifconfig; echo "status $?"; quorvi-find search /usr/bin/ls' \
        > "$root/shell.out" 2>&1 </dev/null || true
    grep -v -e 'cannot set terminal process group' -e 'no job control' "$root/shell.out" | sed 's/^/  | /'
    grep -q 'apt install net-tools.*/sbin/ifconfig' "$root/shell.out" && grep -q '^status 127$' "$root/shell.out" \
        && pass "a new $kind bash answers ifconfig with net-tools, status 127" \
        || fail "a new $kind bash does not answer ifconfig with net-tools"
    grep -q '^coreutils: /bin/ls$' "$root/shell.out" \
        && pass "a new $kind bash: quorvi-find search /usr/bin/ls shows coreutils" \
        || fail "a new $kind bash: quorvi-find search /usr/bin/ls does not show coreutils"
done
status=0
chroot --userspec=quorvi-check:quorvi-check "$root" /usr/bin/env -i HOME=/home/quorvi-check PATH=/usr/bin:/bin \
    /bin/bash -c 'ifconfig' > "$root/shell.out" 2>&1 </dev/null || status=$?
grep -q 'net-tools' "$root/shell.out" && fail "a script got the interactive answer" \
    || pass "a script (non-interactive bash) gets bash's own line, status $status"

step "a second apt-get update"
before=$(stat -c %Y "$db" 2>/dev/null || echo none)
rm -f "$root/var/log/quorvi-catalog.log"
update "again"
await_log 'nothing to do\| packages, ' 600
grep -q 'newer than every input' "$root/var/log/quorvi-catalog.log" \
    && [ "$(stat -c %Y "$db" 2>/dev/null || echo none)" = "$before" ] \
    && pass "unchanged lists: the catalogue is left as it is" || fail "the catalogue was rebuilt for nothing"

step "a list changes: apt-get update returns at once, the catalogue follows"
# apt fetches a missing index again: that is the change.
rm -f "$root"/var/lib/apt/lists/*_main_binary-*_Packages*
before=$(stat -c %Y "$db" 2>/dev/null || echo none)
rm -f "$root/var/log/quorvi-catalog.log"
in_root sh -c 'apt-config dump' | grep -q '^APT::Update::Post-Invoke-Success' || fail "no hook configured"
start=$(now)
in_root apt-get update -o APT::Update::Post-Invoke-Success::=  >/dev/null 2>&1
alone=$(seconds "$start" "$(now)")
rm -f "$root"/var/lib/apt/lists/*_main_binary-*_Packages*
start=$(now)
update "after a list change"
hooked=$(seconds "$start" "$(now)")
echo "apt-get update after the change: $hooked s with the hook, $alone s without it"
awk "BEGIN { exit !($hooked < $alone + 1) }" \
    && pass "apt-get update returned within a second of apt's own work" \
    || fail "apt-get update was held up: $hooked s against $alone s"
start=$(now)
if await_log ' packages, ' 600; then
    echo "the catalogue was rebuilt $(seconds "$start" "$(now)") s after apt-get update returned"
    [ "$(stat -c %Y "$db")" != "$before" ] && pass "the catalogue was rebuilt after the list change" \
        || fail "the catalogue was not replaced"
else
    fail "no rebuild after the list change: $(cat "$root/var/log/quorvi-catalog.log" 2>/dev/null)"
fi

step "apt-get remove quorvi (configuration stays)"
in_root apt-get remove -y -qq quorvi >/dev/null
[ -f "$root/etc/apt/apt.conf.d/50quorvi" ] && echo "/etc/apt/apt.conf.d/50quorvi stays"
update "after remove"

step "apt-get purge quorvi"
in_root apt-get purge -y -qq quorvi >/dev/null
[ ! -e "$root/var/cache/quorvi" ] && [ ! -e "$root/etc/apt/apt.conf.d/50quorvi" ] \
    && [ ! -e "$root/etc/profile.d/quorvi-command-not-found.sh" ] \
    && pass "purge removed /var/cache/quorvi, the apt configuration and the shell hooks" || fail "purge left files"

step "result"
if [ "$failures" -eq 0 ]; then
    echo "all checks passed"
else
    echo "$failures checks failed"
fi
exit "$failures"
