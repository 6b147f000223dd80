#!/bin/sh
# Builds the Debian package build-deb/quorvi_<version>_<arch>.deb: the finder, the
# builder, quorvi-find and the command-not-found handler with the shells' hooks and bash
# completion, the menu entry and icon, man pages, and the apt configuration that fetches Contents
# indexes and keeps the system's catalogue fresh. CPack makes it from the CMake build
# and computes the library dependencies with dpkg-shlibdeps; a package whose library
# dependencies could not be computed is an error, never a quiet build.
set -eu
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
# What packaging needs beyond the build: CPack's DEB generator runs `file`, and
# dpkg-shlibdeps (dpkg-dev) works out the libraries the programs depend on.
missing=""
for pkg in file dpkg-dev; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed" || missing="$missing $pkg"
done
if [ -n "$missing" ]; then
    if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
    echo "Installing:$missing" >&2
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >&2
fi
command -v dpkg-shlibdeps >/dev/null || { echo "$0: dpkg-shlibdeps is missing (package dpkg-dev)" >&2; exit 1; }
cmake -S . -B build-deb -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
    -DQUORVI_APT_INTEGRATION=ON -DQUORVI_SHELL_HOOKS=ON -DBUILD_TESTING=OFF ${QUORVI_CMAKE_ARGS:-} >/dev/null
cmake --build build-deb -j2 --target quorvi quorvi-catalog quorvi-find quorvi-command-not-found quorvi_docs >&2
rm -f build-deb/quorvi_*.deb
log=build-deb/cpack.log
if ! (cd build-deb && cpack -G DEB) >"$log" 2>&1; then
    cat "$log" >&2
    echo "$0: cpack failed" >&2
    exit 1
fi
# CPack only warns when dpkg-shlibdeps is missing or fails, and then writes a package
# that depends on the listed packages alone.
if grep -E 'dpkg-shlibdeps (is not found|failed|returned)|Using only user-provided dependencies' "$log" >&2; then
    echo "$0: the package's library dependencies could not be computed (see $log)" >&2
    exit 1
fi
deb=$(ls build-deb/quorvi_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
case "$depends" in
    *libc6*libqt5*|*libqt5*libc6*) ;;
    *)
        echo "$0: $deb depends on \"$depends\" only; the library dependencies are missing" >&2
        exit 1
        ;;
esac
echo "$deb"
