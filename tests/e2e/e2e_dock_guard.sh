#!/bin/bash
# Dock movement prevention with the real norvale on two RandR monitors: a pointer resting 2
# pixels above the bottom edge of the secondary monitor is moved to 7 above it through the X
# server; the main monitor's bottom is left alone, and so is everything once switched off.
set -euo pipefail
source "$E2E_LIB/desktop.sh"

e2e_require_programs NORVALE
desktop_start --monitors '*LEFT:1920x1080+0+0 RIGHT:1920x1080+1920+0'
norvale_start

pointer_at() { [[ "$(xdotool getmouselocation --shell | head -n 2 | tr '\n' ' ')" == "X=$1 Y=$2 " ]]; }
# Puts the pointer at X Y and checks it is still there after a few guard ticks.
pointer_stays() {
    xdotool mousemove "$1" "$2"
    sleep 0.3
    pointer_at "$1" "$2" || e2e_fail "the pointer moved from $1,$2: $(xdotool getmouselocation)"
}

[[ "$("$NORVALE" dock enable)" == "Dock移動抑止: オン" ]] || e2e_fail "dock enable"
xdotool mousemove 2500 1078
e2e_wait_until 2 "the pointer 7 pixels above the secondary monitor's bottom" pointer_at 2500 1073
pointer_stays 500 1078
pointer_stays 2500 1070

[[ "$("$NORVALE" dock disable)" == "Dock移動抑止: オフ" ]] || e2e_fail "dock disable"
pointer_stays 2500 1078
norvale_check_alive
