#!/usr/bin/env bash
# Builds Norvale and runs the whole test suite (unit and end-to-end under Xvfb), after
# building, installing and starting the Debian package; then the unit tests under
# AddressSanitizer and UndefinedBehaviorSanitizer and every fuzz target for
# NORVALE_FUZZ_SECONDS (default 60) each. NORVALE_SKIP_SANITIZERS=1 and NORVALE_SKIP_FUZZ=1
# leave those two out on a developer's machine; with CI=true both always run.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/phase-timer.sh

phase packages ./scripts/install-deps.sh test

ci=${CI:-false}
build=${NORVALE_BUILD_DIR:-build}
flags=()
if [ "$ci" = true ]; then
    # Line tables only: backtraces keep their functions and lines, and the compiler saves a
    # quarter of its time on debug information nobody reads in CI (the package is stripped).
    flags+=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG")
    # A build from scratch: unity units, and no benchmarks, which CI does not run.
    flags+=(-DNORVALE_UNITY_BUILD=ON -DNORVALE_BUILD_BENCH=OFF)
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${flags[@]}" >/dev/null
phase build cmake --build "$build" --parallel "$(nproc)"
phase package env NORVALE_BUILD_DIR="$build" ./scripts/check-package.sh
phase tests ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" "$@"

if [ "$ci" = true ] || [ "${NORVALE_SKIP_SANITIZERS:-0}" != 1 ]; then
    ./scripts/test-sanitizers.sh
fi
if [ "$ci" = true ] || [ "${NORVALE_SKIP_FUZZ:-0}" != 1 ]; then
    ./scripts/fuzz.sh "${NORVALE_FUZZ_SECONDS:-60}"
fi
