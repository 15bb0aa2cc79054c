#!/bin/bash
# Global shortcuts with the real norvale on X11: a Super double tap and then a Ctrl+Shift+V
# combination, each configured with `norvale config set` before the start, open and close the
# quick panel at the pointer; keys are injected with XTest by key code. Nothing is grabbed:
# another process's text field receives every key typed meanwhile, and the combination stays
# free for any other client to grab.
set -euo pipefail
source "$E2E_LIB/desktop.sh"

e2e_require_programs NORVALE E2E_XTEST_KEYS
e2e_require_tools xmodmap
desktop_start --wm
KEYMAP=$(xmodmap -pke)

# The quick panel, Norvale's 780-pixel-wide window, shown. (The tree lists unmapped windows
# too; each output is taken whole, so that no early exit of a reader breaks the pipe.)
panel_open() {
    local tree id
    tree=$(xwininfo -root -tree)
    id=$(awk '/\("norvale" "Norvale"\)  780x/ { print $1; exit }' <<<"$tree")
    [[ -n "$id" && "$(xwininfo -id "$id")" == *IsViewable* ]]
}
panel_closed() { ! panel_open; }
# code NAME — the first key code the server maps to that keysym name.
code() {
    local found
    found=$(awk -v k="$1" '{ for (i = 4; i <= NF; i++) if ($i == k) { print $2; exit } }' <<<"$KEYMAP")
    [[ -n "$found" ]] || e2e_fail "no key code for $1"
    echo "$found"
}
# keys STEP... — NAME (press and release), NAME+ (press), NAME- (release) or sleep:MS.
keys() {
    local step steps=()
    for step in "$@"; do
        case $step in
        sleep:*) steps+=("$step") ;;
        *[+-]) steps+=("$(code "${step%?}")${step: -1}") ;;
        *) steps+=("$(code "$step")") ;;
        esac
    done
    "$E2E_XTEST_KEYS" "${steps[@]}"
}
editor_has() { e2e_file_has_line "$E2E_TMP/target.out" "text: $1"; }

E2E_STDOUT="$E2E_TMP/target.out" e2e_spawn paste-target "$E2E_PASTE_TARGET" \
    --title editor --geometry 480x40+1200+700
e2e_wait_until 10 "the editor" e2e_file_has_line "$E2E_TMP/target.out" ready
EDITOR_WINDOW=$(timeout 10 xdotool search --sync --onlyvisible --name '^editor$' | head -n 1)
focus_editor() {
    xdotool windowactivate --sync "$EDITOR_WINDOW"
    e2e_wait_until 10 "the editor focused" eval \
        "[[ \$(xdotool getwindowfocus) == $EDITOR_WINDOW ]]"
}

"$NORVALE" config set menu.leftClickShortcut \
    '{"kind":"modifierDoubleTap","modifiersRawValue":1048576,"primaryModifierRawValue":1048576}' \
    --type data
[[ "$("$NORVALE" shortcut)" == $'leftClickMenu\t⌘ double tap\nwindowPlacementApply\t未設定' ]] \
    || e2e_fail "norvale shortcut: $("$NORVALE" shortcut)"
norvale_start
focus_editor
xdotool mousemove 600 300

# Typed into the editor while Norvale watches every key.
keys a b c
e2e_wait_until 10 "the editor receiving keys" editor_has abc
keys Super_L sleep:50 Super_L
e2e_wait_until 10 "the panel opened by a Super double tap" panel_open
desktop_screenshot double-tap
sleep 0.3
keys Super_L sleep:50 Super_L
e2e_wait_until 10 "the panel closed by a second double tap" panel_closed
# Two taps too far apart are no double tap.
keys Super_L sleep:600 Super_L
sleep 0.5
panel_closed || e2e_fail "taps 0.6 s apart opened the panel"

"$NORVALE" quit
wait "$NORVALE_PID" || e2e_fail "norvale quit: the instance exited $?"
"$NORVALE" config set menu.leftClickShortcut \
    '{"kind":"keyCombination","keyCode":9,"characters":"V","modifiersRawValue":393216}'
norvale_start
focus_editor
keys d
e2e_wait_until 10 "the editor receiving keys again" editor_has abcd
keys Control_L+ Shift_L+ v Shift_L- Control_L-
e2e_wait_until 10 "the panel opened by Ctrl+Shift+V" panel_open
sleep 0.3
keys Control_L+ Shift_L+ v Shift_L- Control_L-
e2e_wait_until 10 "the panel closed by Ctrl+Shift+V" panel_closed

# No grab: the combination is free for another client, and the editor gets every key.
"$E2E_XTEST_KEYS" --grab "$(code v)" control shift || e2e_fail "Ctrl+Shift+V is grabbed by someone"
focus_editor
keys e f
e2e_wait_until 10 "the editor receiving every key" editor_has abcdef
norvale_check_alive
"$NORVALE" quit
wait "$NORVALE_PID" || e2e_fail "norvale quit: the instance exited $?"
e2e_log "PASS"
