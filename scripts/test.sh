#!/usr/bin/env bash
# Builds Norvale and runs the whole test suite (unit and end-to-end under Xvfb), after
# building, installing and starting the Debian package; then the unit tests under
# AddressSanitizer and UndefinedBehaviorSanitizer and every fuzz target for
# NORVALE_FUZZ_SECONDS (default 60) each. NORVALE_SKIP_SANITIZERS=1 and NORVALE_SKIP_FUZZ=1
# leave those two out on a developer's machine; with CI=true both always run.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh test

build=${NORVALE_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel "$(nproc)"
NORVALE_BUILD_DIR=$build ./scripts/check-package.sh
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" "$@"

ci=${CI:-false}
if [ "$ci" = true ] || [ "${NORVALE_SKIP_SANITIZERS:-0}" != 1 ]; then
    ./scripts/test-sanitizers.sh
fi
if [ "$ci" = true ] || [ "${NORVALE_SKIP_FUZZ:-0}" != 1 ]; then
    ./scripts/fuzz.sh "${NORVALE_FUZZ_SECONDS:-60}"
fi
