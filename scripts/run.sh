#!/bin/sh
# Builds the finder and the catalogue builder, makes a catalogue in demo/run/ and
# starts the finder there. The catalogue comes from this machine's apt lists, with file
# lists from the Contents indexes (apt fetches them once where there are none), else from
# its installed packages, else from the small demo lists demo/Packages and demo/Contents.
# It is made again only when the package lists are newer than it.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# The man pages too, so that "cmake --install build" works after this script.
cmake --build build -j2 --target quorvi quorvi-catalog quorvi_docs

run=demo/run
catalogue=$run/os_pkg_list.db
lists=/var/lib/apt/lists
mkdir -p "$run"
# Without Contents indexes the catalogue would have no file lists. apt fetches them and
# checks them against the signed Release files, with the Contents target enabled for this
# one update only: no configuration is left in /etc/apt. apt dates the indexes by the
# server's clock, so a catalogue made before without file lists is removed to be made anew.
if command -v apt-get >/dev/null 2>&1 && ! ls "$lists"/*_Contents-* >/dev/null 2>&1; then
    if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
    echo "Fetching the Contents indexes (the file lists) with apt-get update"
    target=Acquire::IndexTargets::deb::Contents-deb
    $sudo apt-get update -q \
        -o "$target::MetaKey=\$(COMPONENT)/Contents-\$(ARCHITECTURE)" \
        -o "$target::ShortDescription=Contents-\$(ARCHITECTURE)" \
        -o "$target::Description=\$(RELEASE)/\$(COMPONENT) \$(ARCHITECTURE) Contents (deb)" \
        -o "$target::KeepCompressed=true" \
        && rm -f "$catalogue" \
        || echo "apt-get update failed: the catalogue is made without file lists"
fi
# The builder draws its progress bar on a terminal; this line says what is coming.
making() {
    echo "Making $catalogue from $1 with quorvi-catalog (Debian bookworm's lists with their Contents indexes take about 15 seconds)"
}
newest=$(ls -t "$lists"/*_Packages* "$lists"/*_Contents-* /var/lib/dpkg/status 2>/dev/null | head -n 1 || true)
if [ -s "$catalogue" ] && [ -n "$newest" ] && [ "$catalogue" -nt "$newest" ]; then
    echo "Using $catalogue (newer than the package lists)"
elif ls "$lists"/*_Packages* >/dev/null 2>&1; then
    making "$lists"
    build/catalog/quorvi-catalog -o "$catalogue" --apt-lists "$lists"
elif [ -f /var/lib/dpkg/status ]; then
    making "the installed packages"
    build/catalog/quorvi-catalog -o "$catalogue" --installed
else
    making "the demo lists"
    build/catalog/quorvi-catalog -o "$catalogue" --packages demo/Packages --contents demo/Contents
fi
cd "$run"
exec ../../build/app/quorvi "$@"
