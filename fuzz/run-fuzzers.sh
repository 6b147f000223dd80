#!/bin/sh
# Builds the parser fuzz targets with clang + libFuzzer (ASan, UBSan) in a
# separate build folder and runs each for a fixed time.
#
#   fuzz/run-fuzzers.sh [TARGET...]          (default: every target)
#
# Environment:
#   FUZZ_SECONDS   time per target (default 60)
#   FUZZ_PARALLEL  targets run at once, 1 or 2 (default 1)
#   FUZZ_BUILD     build folder (default <repo>/build-fuzz)
#   FUZZ_MAX_LEN   largest input libFuzzer generates (default 65536)
#
# Each target fuzzes a writable copy of fuzz/corpus/<target> (plus
# fuzz/regressions/<target>) kept in $FUZZ_BUILD/work/<target>/corpus, so
# the committed seeds stay small. Crash, leak, timeout and out-of-memory
# inputs are written to $FUZZ_BUILD/findings/<target>/ (the counts printed
# are those of this run); the log of each run
# is $FUZZ_BUILD/work/<target>/fuzz.log. Exits 1 when anything was found.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
build=${FUZZ_BUILD:-$repo/build-fuzz}
seconds=${FUZZ_SECONDS:-60}
parallel=${FUZZ_PARALLEL:-1}
max_len=${FUZZ_MAX_LEN:-65536}
all_targets="packages dpkg_status contents dpkg_list repomd rpm_primary rpm_filelists
    blob_texts blob_links blob_idlists blob_files blob_postings filesearch"
targets=${*:-$all_targets}

case $parallel in 1|2) ;; *) echo "FUZZ_PARALLEL must be 1 or 2" >&2; exit 2 ;; esac

# clang with libFuzzer's runtime (Debian: clang-14 + libfuzzer-14-dev).
have_libfuzzer() {
    command -v clang >/dev/null 2>&1 && command -v clang++ >/dev/null 2>&1 || return 1
    printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long){return 0;}\n' \
        | clang++ -x c++ -fsanitize=fuzzer,address,undefined -o /dev/null - >/dev/null 2>&1
}
if ! have_libfuzzer; then
    echo "== installing clang and libFuzzer"
    sudo=""
    [ "$(id -u)" = 0 ] || sudo=sudo
    $sudo apt-get update
    $sudo apt-get install -y --no-install-recommends clang libfuzzer-14-dev
    have_libfuzzer || { echo "clang cannot link -fsanitize=fuzzer" >&2; exit 2; }
fi

echo "== configuring $build (clang, QUORVI_FUZZ=ON)"
mkdir -p "$build"
CC=clang CXX=clang++ cmake -S "$repo" -B "$build" -DQUORVI_FUZZ=ON -DBUILD_TESTING=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$build/configure.log" 2>&1 \
    || { cat "$build/configure.log"; exit 2; }
echo "== building"
build_targets=""
for t in $targets; do build_targets="$build_targets fuzz_$t"; done
# shellcheck disable=SC2086
cmake --build "$build" -j2 --target $build_targets

dict_for() {
    case $1 in
        packages|dpkg_status|dpkg_list) echo "$here/dict/deb822.dict" ;;
        contents) echo "$here/dict/contents.dict" ;;
        blob_*|filesearch) ;; # binary: no dictionary
        *) echo "$here/dict/repodata.dict" ;;
    esac
}

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:symbolize=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export QT_QPA_PLATFORM=offscreen

run_one() {
    t=$1
    work="$build/work/$t"
    findings="$build/findings/$t"
    rm -rf "$work/corpus"
    mkdir -p "$work/corpus" "$findings"
    cp "$here/corpus/$t/"* "$work/corpus/" 2>/dev/null || true
    for f in "$here/regressions/$t/"*; do
        [ -f "$f" ] && cp "$f" "$work/corpus/regression-$(basename "$f")"
    done
    dict=$(dict_for "$t")
    set +e
    "$build/fuzz/fuzz_$t" "$work/corpus" \
        -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 ${dict:+-dict="$dict"} \
        -artifact_prefix="$findings/" >"$work/fuzz.log" 2>&1
    echo $? >"$work/status"
    set -e
}

start=$(date +%s)
mkdir -p "$build/findings"
marker="$build/findings/.run-start"
touch "$marker"
# shellcheck disable=SC2086 # the target list is split on purpose
set -- $targets
while [ $# -gt 0 ]; do
    echo "== fuzzing $1 for ${seconds}s"
    run_one "$1" &
    first=$!
    shift
    if [ "$parallel" = 2 ] && [ $# -gt 0 ]; then
        echo "== fuzzing $1 for ${seconds}s"
        run_one "$1" &
        second=$!
        shift
        wait "$second" || true
    fi
    wait "$first" || true
done

echo
printf '%-14s %12s %8s %7s  %s\n' target executions findings status log
found=0
for t in $targets; do
    work="$build/work/$t"
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/fuzz.log" | tail -n 1)
    n=$(find "$build/findings/$t" -type f -newer "$marker" \( -name 'crash-*' -o -name 'leak-*' \
        -o -name 'timeout-*' -o -name 'oom-*' -o -name 'slow-unit-*' \) | wc -l)
    status=$(cat "$work/status")
    [ "$n" -gt 0 ] || [ "$status" != 0 ] && found=1
    printf '%-14s %12s %8s %7s  %s\n' "$t" "${execs:-?}" "$n" "$status" "$work/fuzz.log"
done
echo "(findings in $build/findings/<target>/; $(( $(date +%s) - start ))s)"
if [ "$found" = 1 ]; then
    echo "Reproduce one: $build/fuzz/fuzz_<target> <finding-file>;" \
         "keep it in fuzz/regressions/<target>/ once the fault is fixed."
    exit 1
fi
