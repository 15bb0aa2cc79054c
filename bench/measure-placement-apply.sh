#!/bin/bash
# How long `norvale placement apply` takes with many windows and rules, on a private X display
# under openbox: WINDOWS xlogo windows, each registered under its own title and, up to RULES,
# under a second title it no longer carries (rules that find no window still cost a search).
# The windows are then moved away and `placement apply` is timed RUNS times; the figure
# includes the command line's own start-up, printed alone as the floor.
#
# Usage: bench/measure-placement-apply.sh [WINDOWS] [RULES] [RUNS]   (default 100 200 5)
#   BUILD  the build folder (default: build beside this script's folder)
set -euo pipefail

WINDOWS=${1:-100}
RULES=${2:-200}
RUNS=${3:-5}
source "$(dirname "${BASH_SOURCE[0]}")/lib/desktop.sh"
e2e_require_tools xlogo xdotool

desktop_start --wm --dbus --monitors '*ONE:1920x1080+0+0'
"$NORVALE" config set feature.windowPlacement.frequentStartupReapply.enabled false --type bool
norvale_start
"$NORVALE" placement enable >/dev/null

for ((i = 0; i < WINDOWS; i++)); do
    e2e_spawn "w$i" xlogo -geometry "100x80+$((i % 16 * 110))+$((i / 16 * 100))" -title "w$i"
done
listed() { [[ $("$NORVALE" placement windows | wc -l) -ge $WINDOWS ]]; }
e2e_wait_until 60 "the windows listed" listed
mapfile -t IDS < <("$NORVALE" placement windows | cut -f1)
for id in "${IDS[@]}"; do
    "$NORVALE" placement register "$id" >/dev/null
done
for ((i = 0; i < RULES - WINDOWS && i < ${#IDS[@]}; i++)); do
    window=${IDS[i]#*-}
    title=$(xdotool getwindowname "$window")
    xdotool set_window --name "gone $title" "$window"
    e2e_wait_until 5 "the renamed window listed" eval \
        '"$NORVALE" placement windows | grep -qF "gone $title"'
    "$NORVALE" placement register "${IDS[i]}" >/dev/null
    xdotool set_window --name "$title" "$window"
done
e2e_log "rules: $("$NORVALE" placement rules | wc -l), windows: ${#IDS[@]}"

now_ms() { echo $((${EPOCHREALTIME/./} / 1000)); }
start=$(now_ms)
"$NORVALE" placement rules >/dev/null
echo "floor (placement rules): $(($(now_ms) - start)) ms"
for ((run = 1; run <= RUNS; run++)); do
    for id in "${IDS[@]}"; do
        xdotool windowmove "${id#*-}" 1500 900
    done
    start=$(now_ms)
    status=$("$NORVALE" placement apply)
    echo "apply $run: $(($(now_ms) - start)) ms ($status)"
done
