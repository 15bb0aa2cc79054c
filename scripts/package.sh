#!/usr/bin/env bash
# Builds the Debian package dist/norvale_<version>_amd64.deb: the program, its mouse helper,
# the launcher entry, the AppStream entry and the icon theme files.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh build

build=${NORVALE_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target norvale norvale-hidutil norvale_icons
dist=$PWD/dist
mkdir -p "$dist"
(cd "$build" && cpack -G DEB -B "$dist" >/dev/null)
rm -rf dist/_CPack_Packages
ls dist/norvale_*_amd64.deb
