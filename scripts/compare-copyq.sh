#!/usr/bin/env bash
# Norvale beside CopyQ, the best-known clipboard manager packaged in Debian, in one private
# Xvfb desktop, both with their default settings and both watching the same clipboard:
# idle RSS and CPU after start, RSS after 500 text copies and after 50 image copies (xclip)
# with the number of images each kept,
# and the time from a copy to the item being in each history as its command line reports it
# (`copyq read 0`, `norvale history list`), raw and net of one query of that command line,
# whose own cost differs between the two. CopyQ is installed here only, never as a
# dependency of Norvale.
#
#   scripts/compare-copyq.sh         (IDLE_SECONDS, default 30; LATENCY_COPIES, default 20)
set -euo pipefail
cd "$(dirname "$0")/.."
idle_seconds=${IDLE_SECONDS:-30}
latency_copies=${LATENCY_COPIES:-20}
# CopyQ keeps images only through its image plugin, packaged apart: without copyq-plugins it
# keeps none, and its image figure would be of no work at all.
if ! command -v copyq >/dev/null || ! dpkg -s copyq-plugins >/dev/null 2>&1; then
    sudo=
    [[ "$(id -u)" -eq 0 ]] || sudo=sudo
    $sudo apt-get install -y -qq --no-install-recommends copyq copyq-plugins >/dev/null
fi
source scripts/lib/measure.sh
build=$(realpath "${NORVALE_BUILD_DIR:-build}")
measure_desktop_env "$build"
norvale_version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
source "$E2E_LIB/desktop.sh"
e2e_require_tools xclip copyq

desktop_start --wm --dbus
desktop_start_tray
norvale_start
e2e_spawn copyq copyq
COPYQ_PID=$E2E_LAST_PID
e2e_wait_until 20 "copyq answering" copyq count
copyq_version=$(copyq --version 2>&1 | head -n 1 || true)

clip_pid=
# take_clipboard [xclip options] — a new xclip owns the clipboard; the last one goes. Texts go
# through a file: a pipe into xclip can end its writer with SIGPIPE when xclip is slow to start.
take_clipboard() {
    local previous=$clip_pid
    setpriv --pdeathsig KILL xclip -selection clipboard -quiet "$@" >/dev/null 2>&1 &
    clip_pid=$!
    if [[ -n "$previous" ]]; then
        kill "$previous" 2>/dev/null || true
        wait "$previous" 2>/dev/null || true
    fi
}

# both_cpu SECONDS — "norvale% copyq%" over the same SECONDS.
both_cpu() {
    local hz n0 c0 n1 c1
    hz=$(getconf CLK_TCK)
    n0=$(cpu_ticks "$NORVALE_PID") c0=$(cpu_ticks "$COPYQ_PID")
    sleep "$1"
    n1=$(cpu_ticks "$NORVALE_PID") c1=$(cpu_ticks "$COPYQ_PID")
    awk -v n=$((n1 - n0)) -v c=$((c1 - c0)) -v hz="$hz" -v s="$1" \
        'BEGIN { printf "%.2f %.2f\n", 100 * n / hz / s, 100 * c / hz / s }'
}

# awk reads the whole list: a reader that stops early would end the pipe with SIGPIPE.
norvale_newest() { "$NORVALE" history list 2>/dev/null | awk -F'\t' 'NR == 1 { print $4 }'; }
copyq_newest() { copyq read 0 2>/dev/null; }
# The images each keeps: the image figure compares equal work only when both kept them all.
norvale_images() { "$NORVALE" history list --kind image | wc -l; }
copyq_images() {
    copyq eval -- 'var n = 0; for (var i = 0; i < size(); ++i)
        if (str(read("?", i)).indexOf("image/") >= 0) ++n; print(n)'
}

# latency READER START_MS TEXT — milliseconds until READER prints TEXT, polled without pause.
latency() {
    local start=$2 until=$((SECONDS + 10))
    while [[ "$("$1")" != "$3" ]]; do
        ((SECONDS < until)) || { echo timeout; return; }
    done
    echo $(($(now_ms) - start))
}
# query_ms READER — one round trip of the command line, for reading the latencies.
query_ms() {
    local start total=0 i
    for i in 1 2 3 4 5; do
        start=$(now_ms)
        "$1" >/dev/null
        total=$((total + $(now_ms) - start))
    done
    echo $((total / 5))
}

declare -A figure
sleep 5 # both settled after start
figure[idle_rss_n]=$(rss_kb "$NORVALE_PID") figure[idle_rss_c]=$(rss_kb "$COPYQ_PID")
read -r figure[idle_cpu_n] figure[idle_cpu_c] < <(both_cpu "$idle_seconds")

# Copy latency: each copy waits until both have it before the next.
lat_n=() lat_c=()
for i in $(seq 1 "$latency_copies"); do
    text="latency probe $i $RANDOM"
    start=$(now_ms)
    printf '%s' "$text" >"$E2E_TMP/text"
    take_clipboard -i "$E2E_TMP/text"
    latency norvale_newest "$start" "$text" >"$E2E_TMP/lat-n" &
    pn=$!
    latency copyq_newest "$start" "$text" >"$E2E_TMP/lat-c" &
    pc=$!
    wait "$pn" "$pc"
    lat_n+=("$(cat "$E2E_TMP/lat-n")") lat_c+=("$(cat "$E2E_TMP/lat-c")")
done
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
figure[lat_n]=$(median "${lat_n[@]}") figure[lat_c]=$(median "${lat_c[@]}")
figure[query_n]=$(query_ms norvale_newest) figure[query_c]=$(query_ms copyq_newest)
# The poll that sees the item ends one query after it began: without that query the figures
# compare the two histories rather than the two command lines.
net_ms() { [[ $1 =~ ^[0-9]+$ ]] && echo $(($1 - $2)) || echo -; }
figure[net_n]=$(net_ms "${figure[lat_n]}" "${figure[query_n]}")
figure[net_c]=$(net_ms "${figure[lat_c]}" "${figure[query_c]}")

for i in $(seq 1 500); do
    printf 'text copy %d of the side-by-side run' "$i" >"$E2E_TMP/text"
    take_clipboard -i "$E2E_TMP/text"
    sleep 0.1
done
sleep 3
figure[text_rss_n]=$(rss_kb "$NORVALE_PID") figure[text_rss_c]=$(rss_kb "$COPYQ_PID")
figure[text_count_n]=$("$NORVALE" history list | wc -l) figure[text_count_c]=$(copyq count)

for i in $(seq 1 50); do
    convert -size 800x600 "plasma:fractal" -seed "$i" "$E2E_TMP/image.png" 2>/dev/null
    take_clipboard -t image/png -i "$E2E_TMP/image.png"
    sleep 0.5
done
sleep 3
figure[image_rss_n]=$(rss_kb "$NORVALE_PID") figure[image_rss_c]=$(rss_kb "$COPYQ_PID")
figure[image_count_n]=$(norvale_images) figure[image_count_c]=$(copyq_images)
figure[after_cpu_n]='' figure[after_cpu_c]=''
read -r figure[after_cpu_n] figure[after_cpu_c] < <(both_cpu "$idle_seconds")
norvale_check_alive

row() { # LABEL KEY UNIT [NOTE]
    awk -v l="$1" -v n="${figure[$2_n]}" -v c="${figure[$2_c]}" -v u="$3" -v note="${4:-}" 'BEGIN {
        r = (c + 0 != 0) ? sprintf("%.2f", n / c) : "-"
        printf "%-40s %12s %12s %8s %s\n", l " (" u ")", n, c, r, note }'
}
# The image RSS compares equal work only when both kept as many images.
image_note="images kept ${figure[image_count_n]} / ${figure[image_count_c]}"
[[ "${figure[image_count_n]}" == "${figure[image_count_c]}" ]] || image_note="* $image_note, not the same work"
echo
echo "Norvale $norvale_version beside $copyq_version; load average $(load_average)"
printf '%-40s %12s %12s %8s\n' figure Norvale CopyQ ratio
row "idle RSS after start" idle_rss KiB
row "idle CPU after start, ${idle_seconds}s" idle_cpu "% core"
row "copy to history, median of $latency_copies" lat ms
row "one command-line query" query ms
row "copy to history, net of one query" net ms
row "RSS after 500 text copies" text_rss KiB
row "entries kept after the texts" text_count n
row "RSS after 50 image copies" image_rss KiB "$image_note"
row "images kept after the images" image_count n
row "idle CPU after the copies, ${idle_seconds}s" after_cpu "% core"
echo "latencies Norvale: ${lat_n[*]}"
echo "latencies CopyQ: ${lat_c[*]}"
