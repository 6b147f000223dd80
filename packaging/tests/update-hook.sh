#!/bin/sh
# Checks the apt update hook script against a stand-in builder: it never fails, passes its
# arguments on, keeps the builder's output in the log and leaves one line on stderr when
# the build fails or is killed.
# Usage: update-hook.sh HOOK BUILDER LOG   (HOOK is configured to run BUILDER and write LOG)
set -u
hook=$1 builder=$2 log=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Runs the hook with the stand-in builder doing $1; keeps stderr in $err and the status.
run() {
    mkdir -p "$(dirname "$builder")"
    printf '#!/bin/sh\n%s\n' "$1" > "$builder"
    chmod +x "$builder"
    rm -f "$log"
    err=$(sh "$hook" --force 2>&1 >/dev/null)
    status=$?
}
lines() { [ -z "$1" ] && echo 0 || printf '%s\n' "$1" | wc -l; }

run 'echo "quorvi-catalog: 3 packages, 0 files written; args: $*"'
[ "$status" -eq 0 ] || fail "success: status $status"
[ -z "$err" ] || fail "success: printed $err"
grep -q 'args: --system --quiet --force$' "$log" || fail "success: log lacks the summary: $(cat "$log")"

run 'echo "quorvi-catalog: progress"; echo "quorvi-catalog: cannot read /var/lib/apt/lists/x: Permission denied" >&2; exit 1'
[ "$status" -eq 0 ] || fail "failed build: status $status"
[ "$(lines "$err")" -eq 1 ] || fail "failed build: $(lines "$err") lines: $err"
case $err in
    *"previous one stays (quorvi-catalog: cannot read /var/lib/apt/lists/x: Permission denied)"*) ;;
    *) fail "failed build: $err" ;;
esac
grep -q 'Permission denied' "$log" || fail "failed build: log lacks the error"

run 'kill -KILL $$'
[ "$status" -eq 0 ] || fail "killed build: status $status"
[ "$(lines "$err")" -eq 1 ] || fail "killed build: $(lines "$err") lines: $err"
case $err in *"stopped by signal 9"*) ;; *) fail "killed build: $err" ;; esac

rm -f "$builder"
rm -f "$log"
err=$(sh "$hook" 2>&1)
status=$?
[ "$status" -eq 0 ] || fail "builder removed: status $status"
[ -z "$err" ] || fail "builder removed: printed $err"
[ ! -e "$log" ] || fail "builder removed: log written"

[ "$failures" -eq 0 ] && echo "update hook: all cases pass"
exit "$failures"
