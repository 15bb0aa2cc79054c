# shellcheck shell=bash
# Figures of a running process for the soak and side-by-side scripts, read from /proc, and the
# private desktop they run in (tests/e2e/lib/desktop.sh with the helper programs of a build).

# measure_desktop_env BUILD — the variables desktop.sh and norvale_start expect, after building
# just the programs they run.
measure_desktop_env() {
    local build=$1 root
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
    cmake --build "$build" --parallel 2 --target norvale clipboard-owner paste-target \
        selection-owner >/dev/null
    export E2E_LIB="$root/tests/e2e/lib" NORVALE="$build/src/app/norvale"
    export E2E_CLIPBOARD_OWNER="$build/tests/e2e/tools/clipboard-owner"
    export E2E_PASTE_TARGET="$build/tests/e2e/tools/paste-target"
    export E2E_SELECTION_OWNER="$build/tests/e2e/tools/selection-owner"
    export E2E_ARTIFACTS="$build/measure-artifacts/$(basename "${0%.sh}")"
    export LANG=C.UTF-8 LC_ALL=C.UTF-8
}

# rss_kb PID — resident set size in KiB.
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }

# cpu_ticks PID — user + system CPU time in clock ticks, with that of the children it waited
# for (utime, stime, cutime, cstime): helpers a feature runs now and then count as its work.
cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 + $14 + $15 }' "/proc/$1/stat"; }

# child_cpu_ticks PID — the part of cpu_ticks spent in the children it waited for.
child_cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $14 + $15 }' "/proc/$1/stat"; }

# cpu_percent PID SECONDS — share of one core used over the next SECONDS, two decimals.
cpu_percent() {
    local before after hz
    hz=$(getconf CLK_TCK)
    before=$(cpu_ticks "$1")
    sleep "$2"
    after=$(cpu_ticks "$1")
    awk -v d=$((after - before)) -v hz="$hz" -v s="$2" 'BEGIN { printf "%.2f", 100 * d / hz / s }'
}

# now_ms — wall clock in milliseconds.
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# load_average — the 1-minute load average, figures on a shared machine need it beside them.
load_average() { cut -d' ' -f1 /proc/loadavg; }
