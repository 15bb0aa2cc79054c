#!/bin/bash
# How long a copy takes to show in the history, for Norvale and for a peer clipboard manager
# (CopyQ) measured the same way in one run, on a private X display:
#
#   for each tool: start it on the display; then RUNS times start a clipboard owner (xclip)
#   holding a new text and poll the tool's command line until that text is listed.
#
# The time runs from starting the owner to the first listing that shows the text, so it
# includes the command line's own start-up; one bare call of each command line is timed too
# and printed as the floor. Runs start at random moments, so a tool that polls shows its
# period in the spread. Other work on the machine shows in the figures: the load average is
# printed before and after.
#
# Usage: bench/measure-capture-latency.sh [RUNS]      (default 20)
#   BUILD  the build folder (default: build beside this script's folder)
# Needs the end-to-end test tools (scripts/install-deps.sh test) and a build with the tests.
# CopyQ is installed with apt-get when it is missing (the script then needs root); it is
# installed here only, never as a dependency of the project. The desktop is the end-to-end
# tests' own (tests/e2e/lib/desktop.sh): private HOME and XDG folders, every helper dies with
# the script.
set -euo pipefail

RUNS=${1:-20}
source "$(dirname "${BASH_SOURCE[0]}")/lib/desktop.sh"

if ! command -v copyq >/dev/null; then
    e2e_log "installing the peer, copyq, from Debian"
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y --no-install-recommends copyq >/dev/null 2>&1 ||
        { apt-get update >/dev/null && apt-get install -y --no-install-recommends copyq >/dev/null; }
fi
desktop_start

now_ms() { echo $((${EPOCHREALTIME/./} / 1000)); }

# Stops the helper started last: a clipboard owner, or a tool once it has been measured.
stop_last() {
    e2e_stop "${_E2E_PIDS[-1]}" || true
    unset '_E2E_PIDS[-1]'
}

# owner TEXT — a new clipboard owner holding TEXT; xclip stays in the foreground.
owner() {
    printf '%s' "$1" >"$E2E_TMP/text"
    e2e_spawn owner xclip -selection clipboard -quiet -i "$E2E_TMP/text"
}

norvale_lists() { "$NORVALE" history list 2>/dev/null | grep -qF -- "$1"; }
copyq_lists() { [[ "$(copyq read 0 2>/dev/null)" == "$1" ]]; }

# The middle value of the numbers on standard input (the mean of the two middle ones).
median() {
    sort -n | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}

# measure NAME LISTS-FUNCTION — RUNS copies; prints each time and the summary.
measure() {
    local name=$1 lists=$2 i text start times=() floor
    # The tool's monitoring may start after it answers: copy anew until a copy is recorded.
    for ((i = 1; ; i++)); do
        text="warm-up-$name-$i"
        owner "$text"
        e2e_poll 2 "$lists" "$text" && break
        stop_last
        ((i < 10)) || e2e_fail "$name never recorded a copy"
    done
    stop_last
    start=$(now_ms)
    "$lists" "$text" || true
    floor=$(($(now_ms) - start))

    for ((i = 1; i <= RUNS; i++)); do
        sleep "0.$((RANDOM % 600 + 300))"
        text="latency-$name-$i-$RANDOM$RANDOM-end"
        start=$(now_ms)
        owner "$text"
        until "$lists" "$text"; do
            (($(now_ms) - start < 10000)) || e2e_fail "$name: run $i was never listed"
        done
        times+=("$(($(now_ms) - start))")
        stop_last
    done
    printf '%-8s runs (ms): %s\n' "$name" "${times[*]}"
    printf '%-8s min %s, median %s, max %s ms; one bare command-line call %s ms\n' "$name" \
        "$(printf '%s\n' "${times[@]}" | sort -n | head -n 1)" \
        "$(printf '%s\n' "${times[@]}" | median)" \
        "$(printf '%s\n' "${times[@]}" | sort -n | tail -n 1)" "$floor"
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg); $(nproc) cores; $RUNS runs per tool"
norvale_start
measure norvale norvale_lists
stop_last

e2e_spawn copyq copyq
e2e_wait_until 20 "copyq answering" copyq read 0
measure copyq copyq_lists
stop_last
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
