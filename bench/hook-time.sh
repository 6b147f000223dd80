#!/bin/sh
# Times the command that apt runs after `apt update` (APT::Update::Post-Invoke-Success in
# packaging/apt/50quorvi.in, calling packaging/update-catalogue.in), from its start until
# it returns, as apt runs it (sh -c), in three cases: no catalogue yet, one input list
# newer than the catalogue, nothing changed. It runs in a folder of its own: the builder
# it calls is a stand-in that runs the real one with --user instead of --system, on a
# copy of the bookworm lists, writing under DATA/hook; nothing of the machine's own
# catalogue or lists is touched. After each case it waits for the rebuild the hook may
# have left running (never counted in the hook's time) and notes when it ended.
# Prints one line a case: "CASE RETURN_MS REBUILT_S STATUS" (REBUILT_S: hook start to the
# builder's end; STATUS: the builder's exit status, "-" when it did not run).
# Usage: bench/hook-time.sh BUILDER [DATA_DIR]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
builder=$(realpath "$1")
data=$(realpath -m "${2:-$root/build/bench-data}")
dir=$data/hook
mkdir -p "$dir/lists" "$dir/cache"

for f in /var/lib/apt/lists/*_dists_bookworm*_main_binary-amd64_Packages* \
         /var/lib/apt/lists/*_dists_bookworm*_main_Contents-*; do
    [ -e "$dir/lists/${f##*/}" ] || cp -p "$f" "$dir/lists/"
done

# The stand-in builder: the hook's arguments with --system made --user, the copied lists.
cat >"$dir/quorvi-catalog" <<EOF
#!/bin/sh
for a; do shift; [ "\$a" = --system ] && a=--user; set -- "\$@" "\$a"; done
XDG_CACHE_HOME='$dir/cache' '$builder' "\$@" --apt-lists '$dir/lists'
status=\$?
echo "\$status \$(date +%s.%N)" >'$dir/done.tmp' && mv '$dir/done.tmp' '$dir/done'
exit \$status
EOF
chmod +x "$dir/quorvi-catalog"

sed -e "s#@QUORVI_BUILDER@#$dir/quorvi-catalog#g" -e "s#@QUORVI_UPDATE_LOG@#$dir/update.log#g" \
    "$root/packaging/update-catalogue.in" >"$dir/update-catalogue"
chmod +x "$dir/update-catalogue"
# The hook's commands, one a line, as apt's configuration gives them.
sed -n '/Post-Invoke-Success/,/};/ s/^[[:space:]]*"\(.*\)";[[:space:]]*$/\1/p' \
    "$root/packaging/apt/50quorvi.in" | sed "s#@QUORVI_UPDATE_SCRIPT@#$dir/update-catalogue#g" >"$dir/hook.cmds"
if grep -q '@[A-Z_]*@' "$dir/update-catalogue" "$dir/hook.cmds"; then
    echo "hook-time.sh: unknown @VARIABLE@ in the hook: $(grep -ho '@[A-Z_]*@' "$dir/update-catalogue" "$dir/hook.cmds" | sort -u)" >&2
    exit 1
fi
[ -s "$dir/hook.cmds" ] || { echo "hook-time.sh: no Post-Invoke-Success command in 50quorvi.in" >&2; exit 1; }

run_case() { # CASE
    rm -f "$dir/done"
    start=$(date +%s.%N)
    while IFS= read -r cmd; do
        sh -c "$cmd" </dev/null >>"$dir/hook.out" 2>&1
    done <"$dir/hook.cmds"
    end=$(date +%s.%N)
    # Until the stand-in has written "done", or (the hook having started none) none runs.
    waited=0
    while [ ! -e "$dir/done" ] && [ "$waited" -lt 1200 ]; do
        [ "$waited" -ge 4 ] && ! pgrep -f "$dir/quorvi-catalog" >/dev/null && break
        sleep 0.5
        waited=$((waited + 1))
    done
    if [ -e "$dir/done" ]; then
        read -r status finished <"$dir/done"
        rebuilt=$(echo "$finished - $start" | bc)
    else
        status=- rebuilt=-
    fi
    echo "$1 $(echo "($end - $start) * 1000" | bc) $rebuilt $status"
}

: >"$dir/hook.out"
rm -f "$dir/cache/quorvi/os_pkg_list.db"
run_case first
sleep 1 # a list newer than the catalogue by the file system's clock
for f in "$dir"/lists/*Packages*; do touch "$f"; break; done
run_case changed
run_case unchanged
