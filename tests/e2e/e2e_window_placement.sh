#!/bin/bash
# Window placement with the real norvale under openbox: `norvale monitors` names the attached
# RandR monitors the way rules record them (origins from the primary monitor's bottom-left
# corner, y upwards); three windows of two applications (one running as two processes)
# registered, moved away and put back by
# `placement apply` (the client's true place read with xwininfo), a relaunched window placed
# after its launch, re-application when logind announces the end of a sleep, and the rules of
# one layout left alone under another.
set -euo pipefail
source "$E2E_LIB/desktop.sh"

e2e_require_programs NORVALE
e2e_require_tools xlogo
# RIGHT is 56 pixels shorter than LEFT, top-aligned: its bottom edge is 56 above LEFT's.
desktop_start --wm --dbus --monitors '*LEFT:1920x1080+0+0 RIGHT:1280x1024+1920+0'
# logind's signals come from the test's bus.
export DBUS_SYSTEM_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS
"$NORVALE" config set feature.windowPlacement.frequentStartupReapply.enabled false --type bool
"$NORVALE" config set feature.windowPlacement.reapplyOnWake.enabled true --type bool
norvale_start

monitors_are() {
    [[ "$("$NORVALE" monitors)" == "$(printf 'signature\t%s\ndescription\t%s' "$1" "$2")" ]]
}
e2e_wait_until 10 "the two monitors" monitors_are \
    'type:external;origin:0,0;size:1920x1080;pixel:1920x1080|type:external;origin:1920,56;size:1280x1024;pixel:1280x1024' \
    '外部* 1920x1080 @ (0, 0) / 外部 1280x1024 @ (1920, 56)'

"$NORVALE" placement enable >/dev/null
E2E_STDOUT="$E2E_TMP/alpha.out" e2e_spawn alpha "$E2E_PASTE_TARGET" \
    --title alpha --geometry 300x200+100+150
e2e_spawn xlogo xlogo -geometry 300x200+800+150
# A second process of the same application: its rule is matched among both processes' windows.
e2e_spawn xlogo2 xlogo -geometry 300x200+1300+150 -title "xlogo 2"
# placement_id TITLE — the window's id in the registration list.
placement_id() {
    "$NORVALE" placement windows | awk -F'\t' -v t="$1 / " 'index($3, t) == 1 { print $1; f = 1 } END { exit !f }'
}
e2e_wait_until 10 "the three windows listed" eval \
    'placement_id alpha && placement_id xlogo && placement_id "xlogo 2"'
client_place() { xwininfo -id "$1" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 } END { print x "," y }'; }
at_place() { [[ "$(client_place "$1")" == "$2" ]]; }

ALPHA=$(placement_id alpha)
LOGO=$(placement_id xlogo)
LOGO2=$(placement_id "xlogo 2")
"$NORVALE" placement register "$ALPHA" | grep -qx '登録しました: .* / alpha' || e2e_fail "alpha not registered"
"$NORVALE" placement register "$LOGO" | grep -qx '登録しました: .* / xlogo' || e2e_fail "xlogo not registered"
"$NORVALE" placement register "$LOGO2" >/dev/null || e2e_fail "xlogo 2 not registered"
[[ $("$NORVALE" placement rules | wc -l) == 3 ]] || e2e_fail "$("$NORVALE" placement rules)"
ALPHA_PLACE=$(client_place "${ALPHA#*-}")
LOGO_PLACE=$(client_place "${LOGO#*-}")
LOGO2_PLACE=$(client_place "${LOGO2#*-}")
sleep 3.2 # the start-up attempts (8 x 0.45 s after the switch) are over

xdotool windowmove --sync "${ALPHA#*-}" 1400 600 windowmove --sync "${LOGO#*-}" 600 700 \
    windowmove --sync "${LOGO2#*-}" 100 700
[[ "$("$NORVALE" placement apply)" == "3件のウィンドウ位置を適用しました" ]] || e2e_fail "apply"
e2e_wait_until 5 "alpha put back" at_place "${ALPHA#*-}" "$ALPHA_PLACE"
e2e_wait_until 5 "xlogo put back" at_place "${LOGO#*-}" "$LOGO_PLACE"
e2e_wait_until 5 "xlogo 2 put back" at_place "${LOGO2#*-}" "$LOGO2_PLACE"
desktop_screenshot applied

# The end of a sleep: re-applied 0.7 s later.
xdotool windowmove --sync "${LOGO#*-}" 600 700
dbus-send --type=signal /org/freedesktop/login1 org.freedesktop.login1.Manager.PrepareForSleep \
    boolean:false
e2e_wait_until 5 "xlogo put back after the sleep" at_place "${LOGO#*-}" "$LOGO_PLACE"

# A new alpha process: placed once its window appears.
e2e_stop "$(pgrep -f -- '--title alpha' | head -n 1)" || true
E2E_STDOUT="$E2E_TMP/alpha2.out" e2e_spawn alpha2 "$E2E_PASTE_TARGET" \
    --title alpha --geometry 300x200+50+700
e2e_wait_until 10 "the relaunched alpha listed" placement_id alpha
e2e_wait_until 5 "the relaunched alpha placed" at_place "$(placement_id alpha | cut -d- -f2)" \
    "$ALPHA_PLACE"

# Another layout: its own (empty) set of rules. Qt can miss a delete and an add made by one
# xrandr call.
xrandr --delmonitor RIGHT >/dev/null
xrandr --setmonitor LOWER 1920/508x540/143+1920+540 none >/dev/null
e2e_wait_until 10 "the changed layout" monitors_are \
    'type:external;origin:0,0;size:1920x1080;pixel:1920x1080|type:external;origin:1920,0;size:1920x540;pixel:1920x540' \
    '外部* 1920x1080 @ (0, 0) / 外部 1920x540 @ (1920, 0)'
xdotool windowmove --sync "${LOGO#*-}" 600 700
not_found() { [[ "$("$NORVALE" placement apply)" == "適用対象のウィンドウが見つかりませんでした" ]]; }
e2e_wait_until 5 "apply finding no rule once the change settled" not_found
! at_place "${LOGO#*-}" "$LOGO_PLACE" || e2e_fail "a rule of the other layout was applied"
norvale_check_alive
