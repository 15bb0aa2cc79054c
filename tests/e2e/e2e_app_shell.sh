#!/bin/bash
# The application shell with the real norvale under openbox: the tray icon when the tray host
# starts after it, one instance per user (a second start hands over and exits), `norvale show`
# opening the quick panel where a clicked entry is pasted into the window the user came from,
# status and history list telling the truth, SIGTERM waiting for the save in flight and removing
# the socket, the stale socket of a killed instance not blocking the next start, and a FIFO
# given as a phrase file refused without holding the instance or its quit.
set -euo pipefail
source "$E2E_LIB/desktop.sh"

e2e_require_programs NORVALE
desktop_start --wm --dbus
SOCKET="$XDG_RUNTIME_DIR/norvale/norvale.sock"

# expect_exit STATUS COMMAND... — its standard error is left in $E2E_TMP/stderr.
expect_exit() {
    local expected=$1 status=0
    shift
    "$@" 2>"$E2E_TMP/stderr" || status=$?
    [[ $status == "$expected" ]] || e2e_fail "$* exited $status, not $expected: $(cat "$E2E_TMP/stderr")"
}
listed() { "$NORVALE" history list | grep -qF -- "$1"; }
tray_icon_embedded() {
    local panel
    panel=$(xwininfo -root -tree | awk '/\("panel" "trayer"\)/ { print $1; exit }')
    [[ -n "$panel" ]] && xwininfo -id "$panel" -tree | grep -qF '("norvale" "Norvale")'
}
# The quick panel, Norvale's 780-pixel-wide window: prints "WINDOW X Y".
panel_window() {
    xwininfo -root -tree | awk '/\("norvale" "Norvale"\)  780x/ {
        split($NF, a, "+"); print $1, a[2], a[3]; found = 1; exit } END { exit !found }'
}
panel_active() { [[ "$(panel_window | cut -d' ' -f1)" == "$(printf '0x%x' "$(xdotool getactivewindow)")" ]]; }
panel_closed() { ! panel_window; }
settings_shown() { xdotool search --onlyvisible --name '^設定$'; }
settings_closed() { ! settings_shown; }

expect_exit 3 "$NORVALE" status
grep -qF "Norvale is not running" "$E2E_TMP/stderr" || e2e_fail "no clear message: $(cat "$E2E_TMP/stderr")"
"$NORVALE" config set feature.clipboardHistory.autoPasteAfterSelectingHistory true --type bool

norvale_start
desktop_start_tray
e2e_wait_until 10 "the tray icon embedded in the late tray host" tray_icon_embedded
desktop_screenshot tray

# The second start hands over (the running one opens its settings window) and exits.
expect_exit 0 timeout 20 "$NORVALE"
e2e_wait_until 10 "the settings window of the running instance" settings_shown
desktop_screenshot settings-window
# Ctrl+Q closes the window; that it does not quit Norvale the steps below prove.
xdotool windowactivate --sync "$(settings_shown | head -n 1)" key ctrl+q
e2e_wait_until 10 "the settings window closing on Ctrl+Q" settings_closed

e2e_copy alpha --type text/plain --text "alpha 貼り付け"
e2e_wait_until 10 "the first copy recorded" listed "alpha 貼り付け"
e2e_copy beta --type text/plain --text "beta text"
e2e_wait_until 10 "the second copy recorded" listed "beta text"

# The window the user works in.
E2E_STDOUT="$E2E_TMP/target.out" e2e_spawn paste-target "$E2E_PASTE_TARGET" \
    --title editor --geometry 480x40+1200+700
e2e_wait_until 10 "the editor" e2e_file_has_line "$E2E_TMP/target.out" ready
xdotool windowactivate --sync "$(timeout 10 xdotool search --sync --onlyvisible --name '^editor$' | head -n 1)"
e2e_wait_until 10 "the editor active" e2e_file_has_line "$E2E_TMP/target.out" active

# The quick panel opens at the pointer; a click on the older entry copies it, closes the panel
# and pastes into the editor. Text rows are 35 pixels high; the second one's middle is 221
# pixels down (below the header, the search bar, the phrase launcher and the section's title).
norvale_check_alive
xdotool mousemove 400 300
"$NORVALE" show
e2e_wait_until 10 "the quick panel active" panel_active
read -r _ px py < <(panel_window)
xdotool mousemove $((px + 120)) $((py + 221)) click 1
e2e_wait_until 10 "the chosen entry pasted into the editor" \
    e2e_file_has_line "$E2E_TMP/target.out" "text: alpha 貼り付け"
e2e_wait_until 5 "the panel closed after the choice" panel_closed

# The history's status line (the first) is its last message: the entry was put back on the
# clipboard.
[[ "$("$NORVALE" status | head -n 1)" == $'clipboardHistory\ton\tクリップボードに戻しました' ]] \
    || e2e_fail "status: $("$NORVALE" status)"
"$NORVALE" history list --json >"$E2E_TMP/list.json"
[[ $(jq -c '[.[].text]' "$E2E_TMP/list.json") == '["beta text","alpha 貼り付け"]' ]] \
    || e2e_fail "a chosen entry is recorded again or the order changed: $(cat "$E2E_TMP/list.json")"

# A URL and an image join the history; the panel shows every section, then a search.
e2e_copy url --type text/plain --text "https://example.org/ドキュメント"
e2e_wait_until 10 "the URL recorded" listed "https://example.org/ドキュメント"
convert -size 640x400 gradient:'#3478f6-#f6c634' "$E2E_TMP/picture.png"
e2e_copy picture --type image/png --file "$E2E_TMP/picture.png"
e2e_wait_until 10 "the image recorded" listed "640 x 400"
xdotool mousemove 400 300
"$NORVALE" show
e2e_wait_until 10 "the quick panel active again" panel_active
sleep 1 # the thumbnail is rendered for the grid on screen
import -display "$DISPLAY" -window "$(panel_window | cut -d' ' -f1)" \
    "$E2E_ARTIFACTS/quick-panel-history.png" || e2e_fail "no screenshot of the quick panel"
xdotool type --delay 50 "alpha"
sleep 0.5
desktop_screenshot quick-panel-search
xdotool key Escape
e2e_wait_until 5 "the panel closed on Escape" panel_closed

# SIGTERM right after a capture: the termination sequence waits for its save.
e2e_copy gamma --type text/plain --text "gamma before SIGTERM"
e2e_wait_until 10 "the third copy recorded" listed "gamma before SIGTERM"
kill -TERM "$NORVALE_PID"
wait "$NORVALE_PID" || e2e_fail "norvale exited $? on SIGTERM"
grep -qF '"text" : "gamma before SIGTERM"' "$XDG_DATA_HOME/Norvale/ClipboardHistory.json" \
    || e2e_fail "the capture before SIGTERM was not saved"
[[ ! -e "$SOCKET" ]] || e2e_fail "the socket outlived a normal termination"

norvale_start
kill -KILL "$NORVALE_PID"
wait "$NORVALE_PID" 2>/dev/null || true
[[ -S "$SOCKET" ]] || e2e_fail "the killed instance left no socket (the test proves nothing)"
norvale_start
listed "gamma before SIGTERM" || e2e_fail "the history did not survive the restart"

# A FIFO nobody writes to is refused at once; the instance still answers, and quits.
mkfifo "$E2E_TMP/phrases.csv"
expect_exit 1 timeout 20 "$NORVALE" phrases import "$E2E_TMP/phrases.csv"
grep -qF "定型文を読み込めませんでした: CSVファイルが通常のファイルではありません" "$E2E_TMP/stderr" \
    || e2e_fail "FIFO import: $(cat "$E2E_TMP/stderr")"
timeout 5 "$NORVALE" status >/dev/null || e2e_fail "the instance stopped answering after a FIFO import"
"$NORVALE" quit
wait "$NORVALE_PID" || e2e_fail "norvale quit: the instance exited $?"
e2e_log "PASS"
