#!/bin/sh
# Builds the finder and the catalogue builder, makes a catalogue in demo/run/ and
# starts the finder there. The catalogue comes from this machine's apt lists (with
# file lists where apt-file has fetched Contents indexes), else from its installed
# packages, else from the small demo lists demo/Packages and demo/Contents. It is made again
# only when the package lists are newer than it.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target quorvi quorvi-catalog

run=demo/run
catalogue=$run/os_pkg_list.db
lists=/var/lib/apt/lists
mkdir -p "$run"
newest=$(ls -t "$lists"/*_Packages* "$lists"/*_Contents-* /var/lib/dpkg/status 2>/dev/null | head -n 1 || true)
if [ -s "$catalogue" ] && [ -n "$newest" ] && [ "$catalogue" -nt "$newest" ]; then
    echo "Using $catalogue (newer than the package lists)"
elif ls "$lists"/*_Packages* >/dev/null 2>&1; then
    build/catalog/quorvi-catalog -o "$catalogue" --apt-lists "$lists"
elif [ -f /var/lib/dpkg/status ]; then
    build/catalog/quorvi-catalog -o "$catalogue" --installed
else
    build/catalog/quorvi-catalog -o "$catalogue" --packages demo/Packages --contents demo/Contents
fi
cd "$run"
exec ../../build/app/quorvi "$@"
