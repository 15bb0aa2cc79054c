#!/bin/bash
# The application shell end to end, with the real norvale under openbox: the tray icon when the
# tray host starts after Norvale (screenshot tray.png), one instance per user (a second start
# hands over and exits), copies recorded, the quick panel opened with `norvale show` and an
# entry chosen with the mouse pasted into the window the user came from, `norvale status` and
# `norvale history list --json` telling the truth, SIGTERM running the termination sequence
# (the save in flight reaches the file, the socket goes), and a stale socket left by a killed
# instance not stopping the next start.
set -euo pipefail
source "${E2E_LIB:-$(dirname "$0")/lib}/desktop.sh"

e2e_require_programs NORVALE E2E_CLIPBOARD_OWNER E2E_PASTE_TARGET E2E_SELECTION_OWNER
desktop_start --wm --dbus
e2e_require_tools trayer xdotool xwininfo import

SOCKET="$XDG_RUNTIME_DIR/norvale/norvale.sock"
HISTORY="$XDG_DATA_HOME/Norvale/ClipboardHistory.json"

norvale_answers() {
    "$NORVALE" status >/dev/null
}

history_has() {
    "$NORVALE" history list | grep -qF -- "$1"
}

# The tray icon's window (class "norvale") sits inside trayer's panel window.
tray_icon_embedded() {
    local panel
    panel=$(xwininfo -root -tree | awk '/\("panel" "trayer"\)/ { print $1; exit }')
    [[ -n "$panel" ]] && xwininfo -id "$panel" -tree | grep -qF '("norvale" "Norvale")'
}

# The quick panel: Norvale's 780-pixel-wide window. Prints "X Y" of its top-left corner.
panel_origin() {
    xwininfo -root -tree | awk '/\("norvale" "Norvale"\)  780x/ {
        split($NF, a, "+"); print a[2], a[3]; found = 1; exit }
        END { exit !found }'
}

panel_closed() {
    ! panel_origin >/dev/null
}

start_norvale() {
    e2e_spawn norvale "$NORVALE"
    NORVALE_PID=$E2E_LAST_PID
    e2e_wait_until 15 "Norvale answering on its socket" norvale_answers
}

# No instance yet: commands that need one say so; settings can be changed.
status=0
"$NORVALE" status 2>"$E2E_TMP/status.err" || status=$?
[[ $status == 3 ]] || e2e_fail "status without an instance exited $status"
grep -qF "Norvale is not running" "$E2E_TMP/status.err" || e2e_fail "no clear message: $(cat "$E2E_TMP/status.err")"
"$NORVALE" config set feature.clipboardHistory.autoPasteAfterSelectingHistory true --type bool
[[ $("$NORVALE" config get feature.clipboardHistory.autoPasteAfterSelectingHistory) == true ]] \
    || e2e_fail "config get does not read back the value set"

# Norvale first, the tray host later: the icon still appears.
start_norvale
sleep 0.5
tray_icon_embedded && e2e_fail "an icon is embedded although there is no tray host"
desktop_start_tray
e2e_wait_until 10 "the tray icon embedded in the late tray host" tray_icon_embedded
sleep 0.3
desktop_screenshot tray

# config set is refused while the instance runs.
status=0
"$NORVALE" config set menu.uiScale 1.5 2>/dev/null || status=$?
[[ $status == 4 ]] || e2e_fail "config set with an instance running exited $status"

# A second start hands over (the running one opens its settings window) and exits.
status=0
timeout 20 "$NORVALE" || status=$?
[[ $status == 0 ]] || e2e_fail "the second start exited $status"
e2e_alive "$NORVALE_PID" || e2e_fail "the first instance died"
e2e_wait_until 10 "the settings window of the running instance" \
    xdotool search --onlyvisible --name '^設定$'
settings=$(xdotool search --onlyvisible --name '^設定$' | head -n 1)
# Ctrl+Q closes the settings window and does not quit.
xdotool windowactivate --sync "$settings" key ctrl+q
e2e_wait_until 10 "the settings window closing on Ctrl+Q" \
    bash -c "! xdotool search --onlyvisible --name '^設定\$' >/dev/null"
sleep 0.3
e2e_alive "$NORVALE_PID" || e2e_fail "Ctrl+Q in the settings window quit Norvale"

# Two copies by another application; then it goes away (Norvale keeps the history).
e2e_spawn owner-alpha "$E2E_CLIPBOARD_OWNER" --type text/plain --text "alpha 貼り付け"
owner=$E2E_LAST_PID
e2e_wait_until 10 "the first copy recorded" history_has "alpha 貼り付け"
e2e_spawn owner-beta "$E2E_CLIPBOARD_OWNER" --type text/plain --text "beta text"
e2e_wait_until 10 "the second copy recorded" history_has "beta text"
e2e_stop "$owner" || true

# The window the user works in.
E2E_STDOUT="$E2E_TMP/target.out" e2e_spawn paste-target "$E2E_PASTE_TARGET" \
    --title editor --geometry 480x40+1200+700
e2e_wait_until 10 "the paste target" e2e_file_has_line "$E2E_TMP/target.out" ready
target=$(xdotool search --sync --onlyvisible --name '^editor$' | head -n 1)
xdotool windowactivate --sync "$target"
e2e_wait_until 10 "the paste target active" e2e_file_has_line "$E2E_TMP/target.out" active

# `norvale show` opens the quick panel at the pointer; a click on the older entry copies it,
# closes the panel and pastes it into the editor.
xdotool mousemove 400 300
"$NORVALE" show
e2e_wait_until 10 "the quick panel" panel_origin
sleep 0.5
desktop_screenshot quick-panel
read -r px py < <(panel_origin)
# Rows are two lines high (text, then its detail); the second row starts 32 pixels down.
xdotool mousemove $((px + 120)) $((py + 8 + 32 + 12)) click 1
e2e_wait_until 10 "the chosen entry pasted into the editor" \
    e2e_file_has_line "$E2E_TMP/target.out" "text: alpha 貼り付け"
e2e_wait_until 5 "the panel closed after the copy" panel_closed

# What the command line reports is what happened.
# (the history's status line is its last message: the entry was put back on the clipboard)
[[ "$("$NORVALE" status)" == $'clipboardHistory\ton\tクリップボードに戻しました' ]] \
    || e2e_fail "status: $("$NORVALE" status)"
"$NORVALE" history list --json >"$E2E_TMP/list.json"
[[ $(grep -c '"index" :' "$E2E_TMP/list.json") == 2 ]] || e2e_fail "history list --json: $(cat "$E2E_TMP/list.json")"
grep -qF '"text" : "beta text"' "$E2E_TMP/list.json" || e2e_fail "beta is missing from the JSON list"
grep -qF '"text" : "alpha 貼り付け"' "$E2E_TMP/list.json" || e2e_fail "alpha is missing from the JSON list"
# Choosing an entry puts it back without recording it again.
[[ $("$NORVALE" history list | cut -f4) == $'beta text\nalpha 貼り付け' ]] \
    || e2e_fail "history list: $("$NORVALE" history list)"
"$NORVALE" history copy 0
status=0
"$NORVALE" history copy 7 2>/dev/null || status=$?
[[ $status == 1 ]] || e2e_fail "history copy of a missing index exited $status"

# SIGTERM right after a capture: the termination sequence waits for its save.
e2e_spawn owner-gamma "$E2E_CLIPBOARD_OWNER" --type text/plain --text "gamma before SIGTERM"
e2e_wait_until 10 "the third copy recorded" history_has "gamma before SIGTERM"
kill -TERM "$NORVALE_PID"
status=0
wait "$NORVALE_PID" || status=$?
[[ $status == 0 ]] || e2e_fail "Norvale exited $status on SIGTERM"
grep -qF '"text" : "gamma before SIGTERM"' "$HISTORY" || e2e_fail "the capture before SIGTERM was not saved"
[[ ! -e "$SOCKET" ]] || e2e_fail "the socket outlived a normal termination"
tray_icon_embedded && e2e_fail "the tray icon outlived the termination"
# Without an instance, history list reads the file.
[[ $("$NORVALE" history list --kind text | wc -l) == 3 ]] || e2e_fail "offline history list: $("$NORVALE" history list)"

# A killed instance leaves its socket behind; the next start still works.
start_norvale
kill -KILL "$NORVALE_PID"
wait "$NORVALE_PID" 2>/dev/null || true
[[ -S "$SOCKET" ]] || e2e_fail "the killed instance left no socket (the test proves nothing)"
start_norvale
history_has "gamma before SIGTERM" || e2e_fail "the history did not survive the restart"
"$NORVALE" quit
status=0
wait "$NORVALE_PID" || status=$?
[[ $status == 0 ]] || e2e_fail "norvale quit: the instance exited $status"
e2e_log "PASS"
