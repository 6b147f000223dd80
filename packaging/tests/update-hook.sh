#!/bin/sh
# Checks the apt update hook script against a stand-in builder: it returns at once, with
# the build still running detached in a session of its own and holding none of the
# caller's output; it never fails, passes its arguments on with --no-wait, keeps the
# builder's output in the log, and adds one line to it when the build fails or is killed.
# Usage: update-hook.sh HOOK BUILDER LOG   (HOOK is configured to run BUILDER and write LOG)
set -u
hook=$1 builder=$2 log=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Waits (up to 60 s) until the log holds a line matching $1.
await() {
    n=0
    until grep -q -- "$1" "$log" 2>/dev/null; do
        n=$((n + 1))
        [ "$n" -lt 600 ] || { fail "no line '$1' in the log: $(cat "$log" 2>/dev/null)"; return 1; }
        sleep 0.1
    done
}

# Runs the hook with the stand-in builder doing $1; keeps its output in $err and the status.
run() {
    mkdir -p "$(dirname "$builder")"
    printf '#!/bin/sh\n%s\n' "$1" > "$builder"
    chmod +x "$builder"
    rm -f "$log"
    err=$(sh "$hook" --force 2>&1)
    status=$?
}

# The builder waits for the test's word, so the hook can only have returned without it;
# a hook that kept the output open would keep $(...) waiting (released after 60 s).
mkfifo "$tmp/go"
( sleep 60; echo late > "$tmp/go" ) >/dev/null 2>&1 &
release=$!
run "read word < '$tmp/go'; echo \"quorvi-catalog: \$word sid \$(cut -d' ' -f6 /proc/\$\$/stat) args: \$*\""
[ "$status" -eq 0 ] || fail "detached: status $status"
[ -z "$err" ] || fail "detached: printed $err"
timeout 90 sh -c 'echo now > "$1"' sh "$tmp/go" # no reader left: the hook waited
kill "$release" 2>/dev/null
if await 'args: '; then
    grep -q 'quorvi-catalog: now ' "$log" || fail "the hook waited for the build: $(cat "$log")"
    grep -q 'args: --system --quiet --no-wait --force$' "$log" || fail "arguments: $(cat "$log")"
    [ "$(sed -n 's/.* sid \([0-9]*\) .*/\1/p' "$log")" != "$(cut -d' ' -f6 /proc/$$/stat)" ] \
        || fail "the build runs in the caller's session"
fi

run 'echo "quorvi-catalog: progress"; echo "quorvi-catalog: cannot read /var/lib/apt/lists/x: Permission denied" >&2; exit 1'
[ "$status" -eq 0 ] || fail "failed build: status $status"
if await 'previous one stays'; then
    grep -q 'previous one stays (quorvi-catalog: cannot read /var/lib/apt/lists/x: Permission denied)' "$log" \
        || fail "failed build: $(cat "$log")"
    [ "$(grep -c 'previous one stays' "$log")" -eq 1 ] || fail "failed build: $(cat "$log")"
fi

run 'kill -KILL $$'
[ "$status" -eq 0 ] || fail "killed build: status $status"
await 'previous one stays (stopped by signal 9)'

rm -f "$builder"
rm -f "$log"
err=$(sh "$hook" 2>&1)
status=$?
[ "$status" -eq 0 ] || fail "builder removed: status $status"
[ -z "$err" ] || fail "builder removed: printed $err"
[ ! -e "$log" ] || fail "builder removed: log written"

[ "$failures" -eq 0 ] && echo "update hook: all cases pass"
exit "$failures"
