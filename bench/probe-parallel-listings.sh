#!/bin/bash
# Many large command-line listings at once, on a private X display:
#
#   the history holds COUNT texts of about 100 KB (written as the history file before the
#   start), then CLIENTS `norvale history list --json` run in parallel while `norvale status`
#   is called again and again until the last listing has ended.
#
# Prints the failures (a non-zero exit, or an output other than the first one's bytes), the
# size of one reply, the slowest and median `status` during the load, the instance's peak
# resident memory (VmHWM) before and after the load, and the time until the last listing
# ended. Other work on the machine shows in the figures: the load average is printed too.
#
# Usage: bench/probe-parallel-listings.sh [CLIENTS]      (default 100)
#   COUNT  texts in the history (default 80, the default text limit)
#   BUILD  the build folder (default: build beside this script's folder)
# Needs the end-to-end test tools (scripts/install-deps.sh test) and a build with the tests.
set -euo pipefail

CLIENTS=${1:-100}
COUNT=${COUNT:-80}
source "$(dirname "${BASH_SOURCE[0]}")/lib/desktop.sh"
desktop_start

now_ms() { echo $((${EPOCHREALTIME/./} / 1000)); }
peak_kib() { awk '/^VmHWM:/ { print $2 }' "/proc/$NORVALE_PID/status"; }

# The history file as the instance writes it: texts of 100 KB (paths, words and line breaks,
# so that the JSON escapes a share of them), newest first.
data="$XDG_DATA_HOME/Norvale"
mkdir -m 0700 -p "$data"
jq -n --argjson count "$COUNT" '
    [range($count) as $i | {
        createdAt: ("2026-03-01T10:" + ("0" + (($i % 60) | tostring))[-2:] + ":00Z"),
        id: ("00000000-0000-4000-8000-" + ("00000000000" + ($i | tostring))[-12:]),
        kind: "text",
        text: ([range(2900) | "/usr/share/定型文/\(.)\t\($i)\n"] | join(""))
    }]' >"$data/ClipboardHistory.json"
chmod 0600 "$data/ClipboardHistory.json"

norvale_start
listed=$("$NORVALE" history list | wc -l)
((listed == COUNT)) || e2e_fail "the history lists $listed entries, not $COUNT"
before_kib=$(peak_kib)

out="$E2E_TMP/listings"
mkdir -p "$out"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg); $(nproc) cores"
start=$(now_ms)
pids=()
for ((i = 1; i <= CLIENTS; i++)); do
    ("$NORVALE" history list --json >"$out/$i.out" 2>"$out/$i.err"; echo $? >"$out/$i.rc") &
    pids+=($!)
done
status_ms=()
running() {
    local pid
    for pid in "${pids[@]}"; do
        kill -0 "$pid" 2>/dev/null && return 0
    done
    return 1
}
while running; do
    t=$(now_ms)
    "$NORVALE" status >/dev/null || e2e_fail "status failed during the load"
    status_ms+=("$(($(now_ms) - t))")
done
wait "${pids[@]}"
total_ms=$(($(now_ms) - start))
norvale_check_alive
after_kib=$(peak_kib)

failures=0
reference=$(sha256sum <"$out/1.out")
for ((i = 1; i <= CLIENTS; i++)); do
    if [[ "$(cat "$out/$i.rc")" != 0 || "$(sha256sum <"$out/$i.out")" != "$reference" ]]; then
        failures=$((failures + 1))
        e2e_log "client $i: exit $(cat "$out/$i.rc"): $(head -c 200 "$out/$i.err")"
    fi
done
jq -e "length == $COUNT" "$out/1.out" >/dev/null || e2e_fail "the listing is not $COUNT items"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "listings: $CLIENTS in parallel, $failures failed; one reply is $(stat -c %s "$out/1.out") bytes"
echo "status during the load: ${#status_ms[@]} calls, slowest $(printf '%s\n' "${status_ms[@]}" | sort -n | tail -n 1) ms, median $(printf '%s\n' "${status_ms[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }') ms"
echo "instance peak memory (VmHWM): $((before_kib / 1024)) MiB before the load, $((after_kib / 1024)) MiB after"
echo "all listings ended after $total_ms ms"
((failures == 0))
