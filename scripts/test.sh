#!/usr/bin/env bash
# Builds Norvale and runs the whole test suite (unit and end-to-end under Xvfb), after
# building, installing and starting the Debian package.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh test

build=${NORVALE_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel "$(nproc)"
NORVALE_BUILD_DIR=$build ./scripts/check-package.sh
cd "$build"
ctest --output-on-failure --parallel "$(nproc)" "$@"
