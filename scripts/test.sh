#!/usr/bin/env bash
# Builds Norvale and runs the whole test suite (unit and end-to-end under Xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh test

build=${NORVALE_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel "$(nproc)"
cd "$build"
ctest --output-on-failure --parallel "$(nproc)" "$@"
