#!/bin/bash
# The harness itself: a full private desktop (two RandR monitors, openbox, trayer, a session
# bus) comes up isolated from the real home; the test helpers work in it (clipboard-owner's
# contents paste into paste-target with Ctrl+V); helpers die with a harness that is killed and
# are stopped, with the private folder removed, when it exits normally.
set -euo pipefail
source "${E2E_LIB:-$(dirname "$0")/lib}/desktop.sh"

e2e_require_programs E2E_CLIPBOARD_OWNER E2E_PASTE_TARGET E2E_SELECTION_OWNER
LIB=${E2E_LIB:-$(dirname "$0")/lib}
REAL_HOME=$HOME

# A harness in a child shell that reports its helpers and then waits to be ended.
child_harness() {
    local report=$1 mode=$2
    E2E_ARTIFACTS="$E2E_ARTIFACTS/child-$mode" setpriv --pdeathsig KILL bash -c '
        set -euo pipefail
        source "$1/desktop.sh"
        desktop_start --wm --dbus
        { echo "$E2E_TMP"; printf "%s\n" "${_E2E_PIDS[@]}"; } >"$2.tmp"
        mv "$2.tmp" "$2"
        if [[ $3 == exit ]]; then exit 0; fi
        exec sleep 600
    ' child "$LIB" "$report" "$mode" &
    CHILD_PID=$!
}

none_alive() {
    local pid
    for pid in "$@"; do
        e2e_alive "$pid" && return 1
    done
    return 0
}

desktop_start --screen 3840x1080 --wm --tray --dbus \
    --monitors '*LEFT:1920x1080+0+0 RIGHT:1920x1080+1920+0'
e2e_require_tools xrandr xprop xdotool dbus-send

# Isolation.
[[ "$HOME" == "$E2E_TMP"/* && "$HOME" != "$REAL_HOME" ]] || e2e_fail "HOME is not private: $HOME"
for variable in XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME XDG_RUNTIME_DIR; do
    [[ "${!variable}" == "$E2E_TMP"/* && -d "${!variable}" ]] \
        || e2e_fail "$variable is not a private folder: ${!variable}"
done
[[ "$(stat -c %a "$XDG_RUNTIME_DIR")" == 700 ]] || e2e_fail "XDG_RUNTIME_DIR is not 0700"
[[ "$DISPLAY" == ":$E2E_DISPLAY_NUMBER" ]] || e2e_fail "DISPLAY is $DISPLAY"

# The desktop's parts.
monitors=$(xrandr --listmonitors)
grep -qE '^ 0: \+?\*LEFT 1920/[0-9]+x1080/[0-9]+\+0\+0' <<<"$monitors" \
    || e2e_fail "no primary LEFT monitor: $monitors"
grep -qE '^ 1: \+?RIGHT 1920/[0-9]+x1080/[0-9]+\+1920\+0' <<<"$monitors" \
    || e2e_fail "no RIGHT monitor: $monitors"
xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id #' || e2e_fail "no window manager"
e2e_has_selection_owner _NET_SYSTEM_TRAY_S0 || e2e_fail "no XEmbed tray host"
[[ "$DBUS_SESSION_BUS_ADDRESS" == "unix:path=$E2E_TMP/bus" ]] || e2e_fail "no private bus"
dbus-send --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.GetId >/dev/null \
    || e2e_fail "the session bus does not answer"

# The helpers: a copy with several formats pastes into the line edit with Ctrl+V.
TARGET_OUT="$E2E_TMP/paste-target.out"
E2E_STDOUT=$TARGET_OUT e2e_spawn paste-target "$E2E_PASTE_TARGET" --title "e2e paste target" \
    --geometry 480x40+100+100
e2e_wait_until 10 "the paste target's window" e2e_file_has_line "$TARGET_OUT" ready
e2e_wait_until 10 "the paste target to be active" e2e_file_has_line "$TARGET_OUT" active
OWNER_OUT="$E2E_TMP/owner.out"
E2E_STDOUT=$OWNER_OUT e2e_spawn clipboard-owner "$E2E_CLIPBOARD_OWNER" \
    --type text/plain --text "貼り付け e2e" --type x-norvale-test --text extra
e2e_wait_until 10 "clipboard-owner" e2e_file_has_line "$OWNER_OUT" ready
e2e_has_selection_owner CLIPBOARD || e2e_fail "clipboard-owner does not own CLIPBOARD"
xdotool key --clearmodifiers ctrl+v
e2e_wait_until 10 "the pasted text" e2e_file_has_line "$TARGET_OUT" "text: 貼り付け e2e"
desktop_screenshot desktop-harness
[[ -s "$E2E_ARTIFACTS/desktop-harness.png" ]] || e2e_fail "no screenshot"

# A killed harness takes its helpers with it (parent-death signal)...
child_harness "$E2E_TMP/killed.report" killed
e2e_wait_until 20 "the child harness's desktop" test -s "$E2E_TMP/killed.report"
mapfile -t report <"$E2E_TMP/killed.report"
child_pids=("${report[@]:1}")
((${#child_pids[@]} == 3)) || e2e_fail "expected Xvfb, dbus and openbox, got ${#child_pids[@]}"
kill -KILL "$CHILD_PID"
wait "$CHILD_PID" 2>/dev/null || true
e2e_log "killed the child harness"

e2e_wait_until 5 "the killed harness's helpers to die" none_alive "${child_pids[@]}"
rm -rf "${report[0]}"

# ...and one that exits stops them and removes its private folder.
child_harness "$E2E_TMP/exited.report" exit
wait "$CHILD_PID" || e2e_fail "the child harness exited with $?"
mapfile -t report <"$E2E_TMP/exited.report"
none_alive "${report[@]:1}" || e2e_fail "helpers outlived a harness that exited"
[[ ! -e "${report[0]}" ]] || e2e_fail "the private folder ${report[0]} was left behind"
e2e_log "PASS"
