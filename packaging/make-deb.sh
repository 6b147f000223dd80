#!/bin/sh
# Builds the Debian package build-deb/quorvi_<version>_<arch>.deb: both programs, the
# menu entry and icon, man pages, and the apt configuration that fetches Contents
# indexes and keeps the system's catalogue fresh. CPack makes it from the CMake build
# and computes the library dependencies with dpkg-shlibdeps.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake -S . -B build-deb -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
    -DQUORVI_APT_INTEGRATION=ON -DBUILD_TESTING=OFF ${QUORVI_CMAKE_ARGS:-} >/dev/null
cmake --build build-deb -j2 --target quorvi quorvi-catalog quorvi_docs
rm -f build-deb/quorvi_*.deb
(cd build-deb && cpack -G DEB >/dev/null)
ls build-deb/quorvi_*.deb
