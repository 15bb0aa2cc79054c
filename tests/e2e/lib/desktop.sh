# shellcheck shell=bash
# A private desktop for one end-to-end test. Source this file, then call desktop_start:
#
#   source "$(dirname "$0")/lib/desktop.sh"
#   desktop_start --wm --tray --dbus --monitors '*LEFT:1920x1080+0+0 RIGHT:1920x1080+1920+0'
#   e2e_spawn norvale "$NORVALE"            # dies with the script, stopped in reverse order
#   e2e_wait_until 10 "the tray icon" e2e_has_selection_owner _NET_SYSTEM_TRAY_S0
#   desktop_screenshot tray
#
# Every helper runs under `setpriv --pdeathsig KILL`, so it dies with this shell even when the
# test runner kills it; on a normal exit desktop_stop (an EXIT trap) stops the helpers in the
# reverse order of their start, then removes the temporary folder. HOME, the XDG folders and
# the runtime folder (0700) are private to the test, so nothing touches the real home and no
# clipboard, window or setting leaks between tests. When Xvfb is missing the script exits with
# 77, which CTest reports as skipped.
#
# Environment read: E2E_ARTIFACTS (screenshots and helper logs; defaults to
# ./e2e-artifacts/<script>), E2E_KEEP_TMP=1 keeps the temporary folder for inspection.
# Environment set: DISPLAY, HOME, XDG_*_HOME, XDG_RUNTIME_DIR, DBUS_SESSION_BUS_ADDRESS,
# QT_QPA_PLATFORM=xcb, E2E_TMP (the private folder), E2E_DISPLAY_NUMBER.

E2E_SKIP=77
E2E_SCRIPT_NAME=$(basename "${0%.sh}")
E2E_ARTIFACTS=${E2E_ARTIFACTS:-$PWD/e2e-artifacts/$E2E_SCRIPT_NAME}
E2E_LAST_PID=
_E2E_PIDS=()
_E2E_NAMES=()

e2e_log() {
    printf '[%s %s] %s\n' "$E2E_SCRIPT_NAME" "$(date +%H:%M:%S.%3N)" "$*" >&2
}

e2e_fail() {
    e2e_log "FAIL: $*"
    exit 1
}

e2e_skip() {
    e2e_log "SKIP: $*"
    exit "$E2E_SKIP"
}

# e2e_require_tools TOOL... — skip the test when a tool is missing.
e2e_require_tools() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 || e2e_skip "$tool is not installed"
    done
}

# e2e_require_programs VARIABLE... — fail when a program the build should have made is missing.
e2e_require_programs() {
    local variable
    for variable in "$@"; do
        [[ -n "${!variable:-}" && -x "${!variable}" ]] \
            || e2e_fail "$variable does not name a built program ('${!variable:-}')"
    done
}

# e2e_spawn NAME COMMAND [ARGUMENTS...] — start a helper in the background. Its stdout and
# stderr go to $E2E_ARTIFACTS/logs/NAME.log unless E2E_STDOUT names another file for stdout.
# The PID is left in E2E_LAST_PID (do not call this in a $(...) subshell).
e2e_spawn() {
    local name=$1
    shift
    local log="$E2E_ARTIFACTS/logs/$name.log"
    local out=${E2E_STDOUT:-$log}
    mkdir -p "$E2E_ARTIFACTS/logs"
    setpriv --pdeathsig KILL "$@" >>"$out" 2>>"$log" </dev/null &
    E2E_LAST_PID=$!
    _E2E_PIDS+=("$E2E_LAST_PID")
    _E2E_NAMES+=("$name")
}

# e2e_alive PID — the helper is still running (a zombie waiting to be reaped is not).
e2e_alive() {
    kill -0 "$1" 2>/dev/null || return 1
    local state
    state=$(ps -o stat= -p "$1" 2>/dev/null) || return 1
    [[ "$state" != Z* ]]
}

# e2e_stop PID — stop one helper: SIGTERM, then SIGKILL after 3 s. Returns its exit status.
e2e_stop() {
    local pid=$1 i
    if e2e_alive "$pid"; then
        kill -TERM "$pid" 2>/dev/null || true
        for ((i = 0; i < 60; i++)); do
            e2e_alive "$pid" || break
            sleep 0.05
        done
        if e2e_alive "$pid"; then
            kill -KILL "$pid" 2>/dev/null || true
        fi
    fi
    local status=0
    wait "$pid" 2>/dev/null || status=$?
    return "$status"
}

# e2e_wait_until SECONDS DESCRIPTION COMMAND [ARGUMENTS...] — poll COMMAND every 50 ms until
# it succeeds; fail the test with DESCRIPTION when it does not within SECONDS.
e2e_wait_until() {
    local seconds=$1 description=$2
    shift 2
    local deadline=$((SECONDS + seconds))
    local start
    start=$(date +%s%N)
    until "$@" >/dev/null 2>&1; do
        if ((SECONDS >= deadline)); then
            e2e_fail "timed out after ${seconds}s waiting for $description"
        fi
        sleep 0.05
    done
    e2e_log "ready after $((($(date +%s%N) - start) / 1000000)) ms: $description"
}

# e2e_file_has_line FILE LINE — FILE contains LINE as a whole line.
e2e_file_has_line() {
    [[ -f "$1" ]] && grep -qxF -- "$2" "$1"
}

# e2e_has_selection_owner NAME — an X client owns the selection (needs E2E_SELECTION_OWNER).
e2e_has_selection_owner() {
    "$E2E_SELECTION_OWNER" "$1" >/dev/null
}

# desktop_screenshot NAME — save the whole screen as $E2E_ARTIFACTS/NAME.png.
desktop_screenshot() {
    mkdir -p "$E2E_ARTIFACTS"
    import -display "$DISPLAY" -window root "$E2E_ARTIFACTS/$1.png"
    e2e_log "screenshot $E2E_ARTIFACTS/$1.png"
}

_desktop_wm_ready() {
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id #'
}

_desktop_dbus_ready() {
    [[ -S "$E2E_TMP/bus" ]] && dbus-send --bus="$DBUS_SESSION_BUS_ADDRESS" --print-reply \
        --dest=org.freedesktop.DBus / org.freedesktop.DBus.GetId
}

# desktop_add_monitor NAME GEOMETRY [OUTPUT] — define a RandR monitor (NAME with a leading *
# is the primary one; GEOMETRY is WxH+X+Y at 96 dpi). Qt reports it as a screen.
desktop_add_monitor() {
    local name=$1 geometry=$2 output=${3:-none}
    local w h x y
    IFS='x+' read -r w h x y <<<"$geometry"
    local mmw=$((w * 254 / 960)) mmh=$((h * 254 / 960))
    xrandr --setmonitor "$name" "$w/${mmw}x$h/$mmh+$x+$y" "$output" >/dev/null \
        || e2e_fail "xrandr --setmonitor $name $geometry"
}

# desktop_remove_monitor NAME — delete a RandR monitor (in its own xrandr call: Qt 6.4 can miss
# a deletion and an addition made in one call).
desktop_remove_monitor() {
    xrandr --delmonitor "${1#\*}" || e2e_fail "xrandr --delmonitor $1"
}

# desktop_start [--screen WxH] [--monitors 'NAME:WxH+X+Y ...'] [--wm] [--tray] [--dbus]
desktop_start() {
    local screen=1920x1080 monitors='' wm=0 tray=0 dbus=0
    while (($#)); do
        case $1 in
        --screen) screen=$2; shift 2 ;;
        --monitors) monitors=$2; shift 2 ;;
        --wm) wm=1; shift ;;
        --tray) tray=1; shift ;;
        --dbus) dbus=1; shift ;;
        *) e2e_fail "desktop_start: unknown option $1" ;;
        esac
    done
    command -v Xvfb >/dev/null 2>&1 || e2e_skip "Xvfb is not installed"
    e2e_require_tools setpriv
    ((wm)) && e2e_require_tools openbox xprop
    ((tray)) && e2e_require_tools trayer
    ((dbus)) && e2e_require_tools dbus-daemon dbus-send
    [[ -n "$monitors" ]] && e2e_require_tools xrandr

    mkdir -p "$E2E_ARTIFACTS/logs"
    E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/norvale-e2e.XXXXXX")
    trap desktop_stop EXIT
    trap 'exit 143' TERM
    trap 'exit 130' INT
    export E2E_TMP
    export HOME="$E2E_TMP/home"
    export XDG_CONFIG_HOME="$HOME/.config"
    export XDG_DATA_HOME="$HOME/.local/share"
    export XDG_CACHE_HOME="$HOME/.cache"
    export XDG_STATE_HOME="$HOME/.local/state"
    export XDG_RUNTIME_DIR="$E2E_TMP/runtime"
    mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME"
    mkdir -m 0700 "$XDG_RUNTIME_DIR"
    unset WAYLAND_DISPLAY XDG_SESSION_TYPE XDG_CURRENT_DESKTOP SESSION_MANAGER
    # No session bus unless asked for; a reachable-nowhere address stops libdbus from
    # autolaunching a daemon that would outlive the test.
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$E2E_TMP/no-bus"
    export QT_QPA_PLATFORM=xcb
    export NO_AT_BRIDGE=1

    local w h
    IFS='x' read -r w h <<<"$screen"
    E2E_STDOUT="$E2E_TMP/display-number" e2e_spawn xvfb \
        Xvfb -displayfd 1 -screen 0 "${w}x${h}x24" -nolisten tcp -noreset
    local xvfb=$E2E_LAST_PID
    local deadline=$((SECONDS + 15))
    until [[ -s "$E2E_TMP/display-number" ]]; do
        e2e_alive "$xvfb" || e2e_fail "Xvfb exited: $(tail -n 5 "$E2E_ARTIFACTS/logs/xvfb.log")"
        ((SECONDS < deadline)) || e2e_fail "Xvfb did not report a display"
        sleep 0.02
    done
    E2E_DISPLAY_NUMBER=$(head -n 1 "$E2E_TMP/display-number")
    export E2E_DISPLAY_NUMBER
    export DISPLAY=":$E2E_DISPLAY_NUMBER"
    e2e_log "Xvfb on $DISPLAY (${w}x$h), private folder $E2E_TMP"

    if [[ -n "$monitors" ]]; then
        local first=1 spec
        for spec in $monitors; do
            desktop_add_monitor "${spec%%:*}" "${spec#*:}" "$( ((first)) && echo screen || echo none)"
            first=0
        done
    fi
    if ((dbus)); then
        export DBUS_SESSION_BUS_ADDRESS="unix:path=$E2E_TMP/bus"
        e2e_spawn dbus dbus-daemon --session --nofork --nopidfile \
            --address="$DBUS_SESSION_BUS_ADDRESS"
        e2e_wait_until 10 "the session bus" _desktop_dbus_ready
    fi
    if ((wm)); then
        e2e_spawn openbox openbox --sm-disable
        e2e_wait_until 10 "the window manager" _desktop_wm_ready
    fi
    if ((tray)); then
        desktop_start_tray
    fi
}

# desktop_start_tray — start the XEmbed tray host (also usable after the application, to test
# a tray that appears late). Needs E2E_SELECTION_OWNER for the ready check.
desktop_start_tray() {
    e2e_require_tools trayer
    e2e_require_programs E2E_SELECTION_OWNER
    e2e_spawn trayer trayer --edge top --align right --widthtype request --height 32 \
        --SetDockType true --SetPartialStrut true --transparent false --expand false
    E2E_TRAY_PID=$E2E_LAST_PID
    e2e_wait_until 10 "the tray host" e2e_has_selection_owner "_NET_SYSTEM_TRAY_S${E2E_SCREEN:-0}"
}

# desktop_stop — stop every helper in reverse order and remove the private folder.
desktop_stop() {
    local status=$?
    trap - EXIT
    local i
    for ((i = ${#_E2E_PIDS[@]} - 1; i >= 0; i--)); do
        e2e_stop "${_E2E_PIDS[i]}" || true
    done
    _E2E_PIDS=()
    _E2E_NAMES=()
    if [[ -n "${E2E_TMP:-}" && -d "$E2E_TMP" ]]; then
        if [[ "${E2E_KEEP_TMP:-0}" == 1 ]]; then
            e2e_log "kept $E2E_TMP"
        else
            rm -rf "$E2E_TMP"
        fi
    fi
    exit "$status"
}
