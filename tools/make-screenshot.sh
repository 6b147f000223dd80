#!/bin/sh
# Builds quorvi-screenshot, builds the demo catalogue (demo/Packages, demo/Contents) into a scratch folder, searches it in
# the finder window there and writes the picture to docs/screenshot.png (or to $1).
# Chinese labels need a CJK font known to fontconfig (Debian: fonts-noto-cjk).
# Environment: QUORVI_BUILD_DIR (default build), QUORVI_KEYWORD (default gcc*).
set -eu
cd "$(dirname "$0")/.."
top=$(pwd)
build=${QUORVI_BUILD_DIR:-build}
keyword=${QUORVI_KEYWORD:-gcc*}
case "${1:-docs/screenshot.png}" in
    /*) output=${1} ;;
    *) output="$top/${1:-docs/screenshot.png}" ;;
esac

if ! fc-list :lang=zh family | grep -q .; then
    echo "make-screenshot: no Chinese font found by fontconfig; install fonts-noto-cjk" >&2
    exit 1
fi

cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j2 --target quorvi-screenshot quorvi-catalog
program="$top/$build/tools/screenshot/quorvi-screenshot"
builder="$top/$build/catalog/quorvi-catalog"
case "$build" in /*) program="$build/tools/screenshot/quorvi-screenshot" builder="$build/catalog/quorvi-catalog" ;; esac

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$builder" --quiet -o "$work/os_pkg_list.db" --packages demo/Packages --contents demo/Contents
mkdir -p "$(dirname "$output")"
(cd "$work" && QT_QPA_PLATFORM=offscreen "$program" --keyword "$keyword" "$output")
