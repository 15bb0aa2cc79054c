#!/usr/bin/env bash
# Builds the unit tests with AddressSanitizer and UndefinedBehaviorSanitizer (clang, in the build
# folder the fuzz targets share, scripts/sanitized-build.sh) and runs them. Any report (memory
# error, leak, undefined behaviour) fails the run. Extra arguments go to ctest (for example
# -R tst_support).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/sanitized-build.sh
source scripts/phase-timer.sh

configure_sanitized_build
# Only the executables the unit tests run: the application and the e2e tools are not needed.
mapfile -t targets < <(ctest --test-dir "$sanitized_build" -N -LE e2e | sed -n 's/^ *Test *#[0-9]*: *//p')
[ ${#targets[@]} -gt 0 ] || { echo "no unit tests found" >&2; exit 1; }
phase "sanitizer build" cmake --build "$sanitized_build" --parallel "$jobs" --target "${targets[@]}"

# Here the crash-safety test looks for memory errors in the writers, which a few dozen kills show
# as well as the 200 the normal suite makes in CI, at a fraction of an instrumented run's time.
export NORVALE_CRASH_TRIALS=${NORVALE_CRASH_TRIALS:-24}
export ASAN_OPTIONS="detect_leaks=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1:strict_string_checks=1:halt_on_error=1"
phase "sanitizer tests" ctest --test-dir "$sanitized_build" --output-on-failure --parallel "$jobs" -LE e2e "$@"
