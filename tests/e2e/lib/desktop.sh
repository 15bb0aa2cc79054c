# shellcheck shell=bash
# The one harness of the end-to-end tests: a private desktop per test script.
#
#   source "$E2E_LIB/desktop.sh"
#   desktop_start --wm --dbus --monitors '*LEFT:1920x1080+0+0 RIGHT:1920x1080+1920+0'
#   norvale_start                      # the real application, answering on its socket
#   e2e_copy name --type text/plain --text "copied"
#
# Helpers run under `setpriv --pdeathsig KILL`, so they die with the script even when CTest
# kills it; on exit they are stopped in reverse order and the private folder goes. HOME, the
# XDG folders and the runtime folder are private, so nothing reaches the real home and nothing
# leaks between tests. Without Xvfb (or another tool) the script exits 77: CTest skips it.
# E2E_ARTIFACTS receives screenshots and helper logs; E2E_KEEP_TMP=1 keeps the private folder.

E2E_SCRIPT_NAME=$(basename "${0%.sh}")
E2E_ARTIFACTS=${E2E_ARTIFACTS:-$PWD/e2e-artifacts/$E2E_SCRIPT_NAME}
_E2E_PIDS=()

e2e_log() { printf '[%s %s] %s\n' "$E2E_SCRIPT_NAME" "$(date +%H:%M:%S.%3N)" "$*" >&2; }
e2e_fail() { e2e_log "FAIL: $*"; exit 1; }

# e2e_require_tools TOOL... — skip the test when a tool is missing.
e2e_require_tools() {
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 || { e2e_log "SKIP: $tool is not installed"; exit 77; }
    done
}

# e2e_require_programs VARIABLE... — fail when a program the build should have made is missing.
e2e_require_programs() {
    local variable
    for variable in "$@"; do
        [[ -x "${!variable:-}" ]] || e2e_fail "$variable does not name a built program"
    done
}

# e2e_spawn NAME COMMAND... — start a helper; stdout and stderr go to logs/NAME.log unless
# E2E_STDOUT names a file for stdout. Its PID is left in E2E_LAST_PID (no $(...) around this).
e2e_spawn() {
    local name=$1
    shift
    local log="$E2E_ARTIFACTS/logs/$name.log"
    setpriv --pdeathsig KILL "$@" >>"${E2E_STDOUT:-$log}" 2>>"$log" </dev/null &
    E2E_LAST_PID=$!
    _E2E_PIDS+=("$E2E_LAST_PID")
}

# e2e_alive PID — still running (a zombie waiting to be reaped is not).
e2e_alive() {
    local state
    state=$(ps -o stat= -p "$1" 2>/dev/null) && [[ "$state" != Z* ]]
}
e2e_gone() { ! e2e_alive "$1"; }

# e2e_stop PID — SIGTERM, SIGKILL after 3 s; returns the helper's exit status.
e2e_stop() {
    if e2e_alive "$1"; then
        kill -TERM "$1" 2>/dev/null || true
        e2e_poll 3 e2e_gone "$1" || kill -KILL "$1" 2>/dev/null || true
    fi
    local status=0
    wait "$1" 2>/dev/null || status=$?
    return "$status"
}

# e2e_poll SECONDS COMMAND... — run COMMAND every 50 ms until it succeeds or time runs out.
e2e_poll() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < deadline)) || return 1
        sleep 0.05
    done
}

# e2e_wait_until SECONDS DESCRIPTION COMMAND... — e2e_poll, failing the test on a time-out.
e2e_wait_until() {
    local seconds=$1 description=$2 start
    shift 2
    start=$(date +%s%N)
    e2e_poll "$seconds" "$@" || e2e_fail "timed out after ${seconds}s waiting for $description"
    e2e_log "ready after $((($(date +%s%N) - start) / 1000000)) ms: $description"
}

e2e_file_has_line() { [[ -f "$1" ]] && grep -qxF -- "$2" "$1"; }
e2e_has_selection_owner() { "$E2E_SELECTION_OWNER" "$1" >/dev/null; }

desktop_screenshot() {
    import -display "$DISPLAY" -window root "$E2E_ARTIFACTS/$1.png" \
        || e2e_fail "no screenshot $1"
}

# desktop_start [--monitors 'NAME:WxH+X+Y ...'] [--wm] [--dbus] on a 3840x1080 screen.
# A monitor NAME with a leading * is the primary one; Qt reports each monitor as a screen.
desktop_start() {
    local monitors='' wm=0 dbus=0
    while (($#)); do
        case $1 in
        --monitors) monitors=$2; shift ;;
        --wm) wm=1 ;;
        --dbus) dbus=1 ;;
        *) e2e_fail "desktop_start: unknown option $1" ;;
        esac
        shift
    done
    # What the whole suite uses (scripts/install-deps.sh test installs it).
    e2e_require_tools Xvfb setpriv xprop xwininfo import xrandr dbus-daemon dbus-send openbox \
        trayer xclip xdotool jq base64 sha256sum convert identify
    e2e_require_programs E2E_SELECTION_OWNER E2E_CLIPBOARD_OWNER E2E_PASTE_TARGET

    mkdir -p "$E2E_ARTIFACTS/logs"
    E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/norvale-e2e.XXXXXX")
    trap desktop_stop EXIT
    trap 'exit 143' TERM
    trap 'exit 130' INT
    export E2E_TMP HOME="$E2E_TMP/home" XDG_RUNTIME_DIR="$E2E_TMP/runtime"
    export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share"
    export XDG_CACHE_HOME="$HOME/.cache" XDG_STATE_HOME="$HOME/.local/state"
    mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME"
    mkdir -m 0700 "$XDG_RUNTIME_DIR"
    unset WAYLAND_DISPLAY XDG_SESSION_TYPE XDG_CURRENT_DESKTOP SESSION_MANAGER
    # Without a bus of its own, an address that leads nowhere keeps libdbus from autolaunching
    # a daemon that would outlive the test.
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$E2E_TMP/no-bus" QT_QPA_PLATFORM=xcb NO_AT_BRIDGE=1

    # -noreset: otherwise the server resets when its last client leaves and monitors vanish.
    E2E_STDOUT="$E2E_TMP/display" e2e_spawn xvfb \
        Xvfb -displayfd 1 -screen 0 3840x1080x24 -nolisten tcp -noreset
    e2e_wait_until 15 "Xvfb" test -s "$E2E_TMP/display"
    DISPLAY=":$(head -n 1 "$E2E_TMP/display")"
    export DISPLAY
    e2e_log "Xvfb on $DISPLAY, private folder $E2E_TMP"

    local spec output=screen w h x y
    for spec in $monitors; do
        IFS='x+' read -r w h x y <<<"${spec#*:}"
        xrandr --setmonitor "${spec%%:*}" "$w/$((w * 254 / 960))x$h/$((h * 254 / 960))+$x+$y" \
            "$output" >/dev/null || e2e_fail "xrandr --setmonitor $spec"
        output=none
    done
    if ((dbus)); then
        export DBUS_SESSION_BUS_ADDRESS="unix:path=$E2E_TMP/bus"
        e2e_spawn dbus dbus-daemon --session --nofork --nopidfile \
            --address="$DBUS_SESSION_BUS_ADDRESS"
        e2e_wait_until 10 "the session bus" dbus-send --print-reply \
            --dest=org.freedesktop.DBus / org.freedesktop.DBus.GetId
    fi
    if ((wm)); then
        e2e_spawn openbox openbox --sm-disable
        e2e_wait_until 10 "the window manager" eval \
            "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id #'"
    fi
}

# desktop_start_tray — the XEmbed tray host.
desktop_start_tray() {
    e2e_spawn trayer trayer --edge top --align right --widthtype request --height 32 \
        --SetDockType true --SetPartialStrut true --transparent false --expand false
    e2e_wait_until 10 "the tray host" e2e_has_selection_owner _NET_SYSTEM_TRAY_S0
}

desktop_stop() {
    local status=$? i
    trap - EXIT
    for ((i = ${#_E2E_PIDS[@]} - 1; i >= 0; i--)); do
        e2e_stop "${_E2E_PIDS[i]}" || true
    done
    if [[ "${E2E_KEEP_TMP:-0}" == 1 ]]; then
        e2e_log "kept $E2E_TMP"
    else
        rm -rf "$E2E_TMP"
    fi
    exit "$status"
}

# norvale_start — the real application; returns once it answers on its socket.
norvale_start() {
    e2e_spawn norvale "$NORVALE"
    NORVALE_PID=$E2E_LAST_PID
    e2e_wait_until 15 "norvale answering on its socket" "$NORVALE" status
}

norvale_check_alive() {
    e2e_alive "$NORVALE_PID" || e2e_fail "norvale exited: $(tail -n 20 "$E2E_ARTIFACTS/logs/norvale.log")"
}

# e2e_copy NAME (--type TYPE (--text S | --file F))... — a new clipboard-owner takes the
# clipboard with all these formats at once, as desktop applications copy. Its output ("ready",
# "served TYPE" for each type a reader fetched) goes to OWNER_OUT; its PID is E2E_LAST_PID.
E2E_COPIES=0
e2e_copy() {
    local name=$1
    shift
    E2E_COPIES=$((E2E_COPIES + 1))
    OWNER_OUT="$E2E_TMP/owner-$E2E_COPIES-$name.out"
    E2E_STDOUT=$OWNER_OUT e2e_spawn "owner-$E2E_COPIES-$name" "$E2E_CLIPBOARD_OWNER" "$@"
    e2e_wait_until 10 "clipboard-owner '$name' to own the clipboard" \
        e2e_file_has_line "$OWNER_OUT" ready
}

# pulse_start NAME:DESCRIPTION... — a private PulseAudio daemon with one null sink per
# argument (the first is the default), reached through PULSE_SERVER. It runs as the test's own
# user, root included (where it only warns), on the private runtime folder, without shared
# memory and without exiting when idle. pulse_plug NAME:DESCRIPTION loads one more sink and
# leaves its module index in PULSE_MODULE; `pactl unload-module INDEX` unplugs it.
pulse_start() {
    e2e_require_tools pulseaudio pactl
    local dir="$E2E_TMP/pulse" script="$E2E_TMP/pulse.pa" spec
    mkdir -m 0700 "$dir"
    {
        echo .fail
        echo "load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/native"
        for spec in "$@"; do
            echo "load-module module-null-sink sink_name=${spec%%:*}" \
                "sink_properties=device.description=${spec#*:}"
        done
        echo "set-default-sink ${1%%:*}"
    } >"$script"
    e2e_spawn pulseaudio env -u DISPLAY XDG_RUNTIME_DIR="$dir" PULSE_RUNTIME_PATH="$dir" \
        pulseaudio -n -F "$script" --daemonize=no --exit-idle-time=-1 --disable-shm=yes
    export PULSE_SERVER="unix:$dir/native"
    e2e_wait_until 15 "the PulseAudio daemon" pactl info
}

pulse_plug() {
    PULSE_MODULE=$(pactl load-module module-null-sink "sink_name=${1%%:*}" \
        "sink_properties=device.description=${1#*:}") || e2e_fail "pactl load-module $1"
}
