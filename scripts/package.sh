#!/usr/bin/env bash
# Builds the Debian package dist/norvale_<version>_amd64.deb: the program, its mouse helper,
# the launcher entry, the AppStream entry, the licence statement and the icon theme files.
# Standard output carries only the absolute path of the package this run made, so that a caller
# never picks up an older one left in dist/; everything else goes to standard error.
set -euo pipefail
cd "$(dirname "$0")/.."
exec 3>&1 1>&2

./scripts/install-deps.sh build

build=${NORVALE_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target norvale norvale-hidutil norvale_icons
dist=$PWD/dist
mkdir -p "$dist"
package=$(cd "$build" && cpack -G DEB -B "$dist" |
    sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p')
rm -rf dist/_CPack_Packages
if [ ! -f "$package" ]; then
    echo "cpack reported no package it made" >&2
    exit 1
fi
echo "$package" >&3
