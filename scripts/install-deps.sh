#!/bin/sh
# Installs the Debian packages in scripts/debian-packages.txt that are missing.
# Runs apt-get as root, or through sudo otherwise.
set -eu
here=$(dirname "$0")
missing=""
for pkg in $(grep -v '^#' "$here/debian-packages.txt"); do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "ok installed"; then
        missing="$missing $pkg"
    fi
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
echo "Installing:$missing"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
