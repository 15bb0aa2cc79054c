#!/bin/bash
# Idle CPU of a running Norvale with the pointer guard on (a tick every 0.04 s) and sound
# priority on (a refresh every 2 s), on a private desktop with two monitors and a private
# PulseAudio daemon with two null sinks. The CPU time is read from /proc/<pid>/stat (utime +
# stime, with cutime + cstime of the helpers it ran) at the start and the end of the window and
# given as a share of one core, for the guard alone, sound priority alone and both.
#
# Usage: bench/measure-idle-cpu.sh [SECONDS]      (default 60 per configuration)
#   BUILD  the build folder (default: build beside this script's folder)
# Needs the end-to-end test tools (scripts/install-deps.sh test) and a build with the tests.
set -euo pipefail

WINDOW=${1:-60}
source "$(dirname "${BASH_SOURCE[0]}")/lib/desktop.sh"
source "$ROOT/scripts/lib/measure.sh"
desktop_start --monitors '*LEFT:1920x1080+0+0 RIGHT:1920x1080+1920+0'
pulse_start speakers:Speakers headset:Headset
norvale_start
"$NORVALE" sound priority 1 headset >/dev/null
xdotool mousemove 2500 500

ticks=$(getconf CLK_TCK)
measure() {
    local label=$1 before after
    sleep 2 # let the switch settle
    before=$(cpu_ticks "$NORVALE_PID")
    sleep "$WINDOW"
    after=$(cpu_ticks "$NORVALE_PID")
    awk -v l="$label" -v d=$((after - before)) -v t="$ticks" -v w="$WINDOW" \
        'BEGIN { printf "%-22s %6.3f %% of one core (%d ticks in %d s)\n", l, 100 * d / t / w, d, w }'
}

"$NORVALE" sound disable >/dev/null
"$NORVALE" dock disable >/dev/null
measure "both off"
"$NORVALE" dock enable >/dev/null
measure "pointer guard"
"$NORVALE" dock disable >/dev/null
"$NORVALE" sound enable >/dev/null
measure "sound priority"
"$NORVALE" dock enable >/dev/null
measure "both"
e2e_log "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
norvale_check_alive
