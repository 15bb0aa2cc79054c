#!/usr/bin/env bash
# Builds the unit tests with AddressSanitizer and UndefinedBehaviorSanitizer in a build folder of
# their own and runs them. Any report (memory error, leak, undefined behaviour) fails the run.
# Extra arguments go to ctest (for example -R tst_support).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

build=${NORVALE_SANITIZE_BUILD_DIR:-build-sanitize}
jobs=${NORVALE_JOBS:-$(nproc)}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DNORVALE_SANITIZE=ON \
    -DNORVALE_BUILD_BENCH=OFF >/dev/null
# Only the executables the unit tests run: the application and the e2e tools are not needed.
mapfile -t targets < <(ctest --test-dir "$build" -N -LE e2e | sed -n 's/^ *Test *#[0-9]*: *//p')
[ ${#targets[@]} -gt 0 ] || { echo "no unit tests found" >&2; exit 1; }
cmake --build "$build" --parallel "$jobs" --target "${targets[@]}"

export ASAN_OPTIONS="detect_leaks=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1:strict_string_checks=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/scripts/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir "$build" --output-on-failure --parallel "$jobs" -LE e2e "$@"
