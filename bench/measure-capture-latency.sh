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
# period in the spread.
#
# Usage: bench/measure-capture-latency.sh [RUNS]      (default 20)
#   NORVALE  the program to measure (default: build/src/app/norvale beside this script)
# CopyQ is installed with apt-get when it is missing (the script then needs root); it is
# installed here only, never as a dependency of the project. HOME and the XDG folders are
# private, and every helper dies with the script.
set -euo pipefail

RUNS=${1:-20}
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
NORVALE=${NORVALE:-$ROOT/build/src/app/norvale}
[[ -x "$NORVALE" ]] || { echo "no norvale at $NORVALE: build it or set NORVALE" >&2; exit 1; }
for tool in Xvfb xclip setpriv; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/install-deps.sh test)" >&2; exit 1; }
done
if ! command -v copyq >/dev/null; then
    echo "installing the peer, copyq, from Debian" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get install -y --no-install-recommends copyq >/dev/null 2>&1 ||
        { apt-get update >/dev/null && apt-get install -y --no-install-recommends copyq >/dev/null; }
fi

TMP=$(mktemp -d "${TMPDIR:-/tmp}/norvale-latency.XXXXXX")
PIDS=()
OWNER=
stop_all() {
    local i
    for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do
        kill "${PIDS[i]}" 2>/dev/null || true
        wait "${PIDS[i]}" 2>/dev/null || true
    done
    PIDS=()
}
# Every helper but the first (the X server).
stop_tools() {
    local i
    for ((i = ${#PIDS[@]} - 1; i >= 1; i--)); do
        kill "${PIDS[i]}" 2>/dev/null || true
        wait "${PIDS[i]}" 2>/dev/null || true
    done
    PIDS=("${PIDS[@]:0:1}")
}
trap '[[ -z "$OWNER" ]] || owner_stop; stop_all; rm -rf "$TMP"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# spawn COMMAND... — a helper that dies with this script; its PID in LAST.
spawn() {
    setpriv --pdeathsig KILL "$@" >>"$TMP/helpers.log" 2>&1 </dev/null &
    LAST=$!
    PIDS+=("$LAST")
}

now_ms() { echo $((${EPOCHREALTIME/./} / 1000)); }

# owner_start TEXT — a new clipboard owner holding TEXT (xclip stays in the foreground);
# owner_stop ends it.
owner_start() {
    printf '%s' "$1" >"$TMP/text"
    setpriv --pdeathsig KILL xclip -selection clipboard -quiet -i "$TMP/text" \
        >>"$TMP/helpers.log" 2>&1 </dev/null &
    OWNER=$!
}
owner_stop() {
    kill "$OWNER" 2>/dev/null || true
    wait "$OWNER" 2>/dev/null || true
    OWNER=
}

# wait_for SECONDS COMMAND... — until COMMAND succeeds.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < deadline)) || return 1
        sleep 0.02
    done
}

export HOME="$TMP/home" XDG_RUNTIME_DIR="$TMP/runtime"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share"
export XDG_CACHE_HOME="$HOME/.cache" XDG_STATE_HOME="$HOME/.local/state"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY XDG_SESSION_TYPE XDG_CURRENT_DESKTOP SESSION_MANAGER
export DBUS_SESSION_BUS_ADDRESS="unix:path=$TMP/no-bus" QT_QPA_PLATFORM=xcb NO_AT_BRIDGE=1
export LANG=C.UTF-8 LC_ALL=C.UTF-8

setpriv --pdeathsig KILL Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset \
    3>"$TMP/display" >>"$TMP/helpers.log" 2>&1 </dev/null &
PIDS+=("$!")
wait_for 15 test -s "$TMP/display" || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n 1 "$TMP/display")"

norvale_lists() { "$NORVALE" history list 2>/dev/null | grep -qF -- "$1"; }
copyq_lists() { [[ "$(copyq read 0 2>/dev/null)" == "$1" ]]; }

# median NUMBER... — the middle value (the mean of the two middle ones for an even count).
median() {
    sort -n | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}

# measure NAME LISTS-FUNCTION — RUNS copies; prints each time and the summary.
measure() {
    local name=$1 lists=$2 i text start elapsed times=() floor
    # Warm-up: the tool records a copy at all (its monitoring may start after it answers):
    # copy anew until it does.
    for ((i = 1; ; i++)); do
        text="warm-up-$name-$i"
        owner_start "$text"
        wait_for 2 "$lists" "$text" && break
        owner_stop
        ((i < 10)) || { echo "$name never recorded a copy" >&2; exit 1; }
    done
    owner_stop
    start=$(now_ms)
    "$lists" "$text" || true
    floor=$(($(now_ms) - start))

    for ((i = 1; i <= RUNS; i++)); do
        sleep "0.$((RANDOM % 600 + 300))"
        text="latency-$name-$i-$RANDOM$RANDOM-end"
        start=$(now_ms)
        owner_start "$text"
        until "$lists" "$text"; do
            (($(now_ms) - start < 10000)) || { echo "$name: run $i never listed" >&2; exit 1; }
        done
        elapsed=$(($(now_ms) - start))
        times+=("$elapsed")
        owner_stop
    done
    printf '%-8s runs (ms): %s\n' "$name" "${times[*]}"
    printf '%-8s min %s, median %s, max %s ms; one bare command-line call %s ms\n' "$name" \
        "$(printf '%s\n' "${times[@]}" | sort -n | head -n 1)" \
        "$(printf '%s\n' "${times[@]}" | median)" \
        "$(printf '%s\n' "${times[@]}" | sort -n | tail -n 1)" "$floor"
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg); $(nproc) cores; $RUNS runs per tool"

spawn "$NORVALE"
wait_for 20 "$NORVALE" status || { echo "norvale did not answer" >&2; exit 1; }
measure norvale norvale_lists
stop_tools

spawn copyq
wait_for 20 copyq read 0 || { echo "copyq did not answer" >&2; exit 1; }
measure copyq copyq_lists
copyq exit >/dev/null 2>&1 || true
stop_tools

echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
