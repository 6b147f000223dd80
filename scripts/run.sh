#!/bin/sh
# Builds the finder and starts it in demo/run/, on a catalogue made there.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target quorvi
mkdir -p demo/run
rm -f demo/run/os_pkg_list.db
sqlite3 demo/run/os_pkg_list.db < demo/demo-catalogue.sql
cd demo/run
exec ../../build/app/quorvi "$@"
