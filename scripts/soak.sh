#!/usr/bin/env bash
# Long run of the real Norvale under Xvfb with every feature that works on this desktop on:
# the pointer guard ticking on two monitors, sound priority over PulseAudio null sinks, window
# placement with a registered rule, and the clipboard history fed a new text or image through
# xclip every 200 ms. Prints RSS and CPU every 30 s, then measures an idle phase without churn.
#
#   scripts/soak.sh [minutes]        (default 10; SOAK_IDLE_SECONDS, default 120)
#
# Targets: RSS growth under 5 % from the first minute to the end of the churn, idle CPU under
# 0.5 % of one core. Exits 1 when one is missed.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-10}
idle_seconds=${SOAK_IDLE_SECONDS:-120}
source scripts/lib/measure.sh
measure_desktop_env "$(realpath "${NORVALE_BUILD_DIR:-build}")"
source "$E2E_LIB/desktop.sh"
e2e_require_tools xclip pulseaudio pactl

desktop_start --wm --dbus --monitors '*LEFT:1920x1080+0+0 RIGHT:1920x1080+1920+0'
desktop_start_tray
pulse_start speakers:Speakers headset:Headset
norvale_start

# Twenty different pictures, copied in turn (each new copy of one moves it to the top).
for i in $(seq 1 20); do
    convert -size 320x200 "plasma:fractal" -seed "$i" "$E2E_TMP/image-$i.png" 2>/dev/null ||
        convert -size 320x200 "xc:rgb($((i * 12)),80,160)" "$E2E_TMP/image-$i.png"
done

"$NORVALE" dock enable >/dev/null
"$NORVALE" sound priority 1 headset >/dev/null
"$NORVALE" sound priority 2 speakers >/dev/null
"$NORVALE" sound enable >/dev/null
"$NORVALE" placement enable >/dev/null
E2E_STDOUT="$E2E_TMP/window.out" e2e_spawn window "$E2E_PASTE_TARGET" \
    --title soak --geometry 300x200+100+150
placed() { "$NORVALE" placement windows | awk -F'\t' 'index($3, "soak / ") == 1 { print $1; f = 1 } END { exit !f }'; }
e2e_wait_until 10 "the window listed for placement" placed
"$NORVALE" placement register "$(placed)" >/dev/null
"$NORVALE" status | sed 's/^/  /'

# One xclip owns the clipboard at a time; the one before it is stopped once the next runs.
churn_pid=
copy_next() {
    local n=$1 previous=$churn_pid
    if ((n % 4 == 3)); then
        setpriv --pdeathsig KILL xclip -selection clipboard -quiet -t image/png \
            -i "$E2E_TMP/image-$((n / 4 % 20 + 1)).png" >/dev/null 2>&1 &
    else
        printf 'soak text %d\n%s' "$n" "$(date +%s%N)" |
            setpriv --pdeathsig KILL xclip -selection clipboard -quiet >/dev/null 2>&1 &
    fi
    churn_pid=$!
    if [[ -n "$previous" ]]; then
        kill "$previous" 2>/dev/null || true
        wait "$previous" 2>/dev/null || true
    fi
}

hz=$(getconf CLK_TCK)
start=$(now_ms)
last_report=$start last_ticks=$(cpu_ticks "$NORVALE_PID")
rss_first_minute=
n=0
printf '%8s %10s %8s %6s %6s\n' seconds rss_kib cpu_% copies load
while (($(now_ms) - start < minutes * 60000)); do
    copy_next "$n"
    n=$((n + 1))
    sleep 0.2
    now=$(now_ms)
    if ((now - last_report >= 30000)); then
        ticks=$(cpu_ticks "$NORVALE_PID")
        rss=$(rss_kb "$NORVALE_PID")
        cpu=$(awk -v d=$((ticks - last_ticks)) -v hz="$hz" -v ms=$((now - last_report)) \
            'BEGIN { printf "%.2f", 100000 * d / hz / ms }')
        printf '%8d %10d %8s %6d %6s\n' $(((now - start) / 1000)) "$rss" "$cpu" "$n" "$(load_average)"
        if [[ -z "$rss_first_minute" ]] && ((now - start >= 60000)); then
            rss_first_minute=$rss
        fi
        last_report=$now last_ticks=$ticks
    fi
done
norvale_check_alive
rss_end=$(rss_kb "$NORVALE_PID")
rss_first_minute=${rss_first_minute:-$rss_end}
"$NORVALE" history list | wc -l | xargs printf 'history entries: %s\n'

# Idle: the last copy stays on the clipboard, features stay on, nothing changes.
sleep 5
idle=$(cpu_percent "$NORVALE_PID" "$idle_seconds")
rss_idle=$(rss_kb "$NORVALE_PID")
growth=$(awk -v a="$rss_first_minute" -v b="$rss_end" 'BEGIN { printf "%.2f", 100 * (b - a) / a }')
echo "copies: $n in $minutes min"
echo "RSS after the first minute: $rss_first_minute KiB, at the end: $rss_end KiB (growth $growth %), idle: $rss_idle KiB"
echo "idle CPU over ${idle_seconds}s: $idle % of one core (load average $(load_average))"
status=0
awk -v g="$growth" 'BEGIN { exit !(g < 5) }' || { echo "MISSED: RSS growth $growth % >= 5 %"; status=1; }
awk -v c="$idle" 'BEGIN { exit !(c < 0.5) }' || { echo "MISSED: idle CPU $idle % >= 0.5 %"; status=1; }
norvale_check_alive
exit "$status"
