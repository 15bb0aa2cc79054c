#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer, in the build
# folder the sanitizer suite shares, scripts/sanitized-build.sh) and runs each for the given
# number of seconds (default 60), two at a time, starting from its seed corpus in
# fuzz/corpus/<target>/. Any crash, hang, leak or sanitizer report fails the run; the input that
# caused it is kept in <build>/artifacts/<target>/ and the log in <build>/logs/<target>.log.
#
#   scripts/fuzz.sh [seconds] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/sanitized-build.sh
source scripts/phase-timer.sh

seconds=${1:-60}
shift || true
build=$sanitized_build
parallel=${NORVALE_FUZZ_PARALLEL:-2}

if [ $# -gt 0 ]; then
    targets=("$@")
else
    targets=()
    for source in fuzz/fuzz_*.cpp; do
        targets+=("$(basename "$source" .cpp)")
    done
fi

configure_sanitized_build
phase "fuzz build" cmake --build "$build" --parallel "$jobs" --target "${targets[@]}"

export ASAN_OPTIONS="detect_leaks=1:check_initialization_order=1:strict_string_checks=1"
# Qt looks for no display or platform plugin in these targets, but keep it from trying.
export QT_QPA_PLATFORM=offscreen

run_one() {
    local target=$1
    local work="$build/corpus/$target" artifacts="$build/artifacts/$target/"
    mkdir -p "$work" "$artifacts" "$build/logs"
    # New inputs go to the work corpus; the checked-in seeds are only read. -timeout makes an
    # input that runs for more than 30 s a hang.
    if "$build/fuzz/$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$artifacts" "$work" "fuzz/corpus/$target" \
        >"$build/logs/$target.log" 2>&1; then
        echo "fuzz: $target: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' \
            "$build/logs/$target.log" | grep -o '[0-9]*$') runs, no findings"
    else
        echo "fuzz: $target FAILED (log: $build/logs/$target.log)" >&2
        tail -n 40 "$build/logs/$target.log" >&2
        return 1
    fi
}

run_all() {
    local failed=0 running=0
    for target in "${targets[@]}"; do
        if [ "$running" -ge "$parallel" ]; then
            wait -n || failed=1
            running=$((running - 1))
        fi
        run_one "$target" &
        running=$((running + 1))
    done
    while [ "$running" -gt 0 ]; do
        wait -n || failed=1
        running=$((running - 1))
    done
    return "$failed"
}

phase "fuzz run" run_all
