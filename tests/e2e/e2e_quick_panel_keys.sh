#!/bin/bash
# The quick panel driven from the keyboard alone, with the real norvale under openbox: opened by
# `norvale show` over another application's line edit, a typed keyword, Down and Return paste the
# matching history entry into that line edit; Right, a folder's label and a phrase's label paste
# the phrase, which the history does not record while a later copy of another application is.
# Keys go through XTest by the key codes the server maps (tools/xtest-keys).
set -euo pipefail
source "$E2E_LIB/desktop.sh"

e2e_require_programs NORVALE E2E_XTEST_KEYS
e2e_require_tools xmodmap
desktop_start --wm --dbus
KEYMAP=$(xmodmap -pke)

listed() { "$NORVALE" history list | grep -qF -- "$1"; }
panel_window() { xwininfo -root -tree | awk '/\("norvale" "Norvale"\)  780x/ { print $1; f = 1; exit } END { exit !f }'; }
panel_active() { [[ "$(panel_window)" == "$(printf '0x%x' "$(xdotool getactivewindow)")" ]]; }
panel_closed() { ! panel_window; }
editor_shows() { e2e_file_has_line "$E2E_TMP/editor.out" "text: $1"; }
# keys NAME... — each key by the first key code the server maps to that keysym name.
keys() {
    local name code codes=()
    for name in "$@"; do
        code=$(awk -v k="$name" '{ for (i = 4; i <= NF; i++) if ($i == k) { print $2; exit } }' <<<"$KEYMAP")
        [[ -n "$code" ]] || e2e_fail "no key code for $name"
        codes+=("$code")
    done
    "$E2E_XTEST_KEYS" "${codes[@]}"
}
# open_panel — over the editor, with the search field taking the keys.
open_panel() {
    norvale_check_alive
    "$NORVALE" show
    e2e_wait_until 10 "the quick panel active" panel_active
    sleep 0.3 # the search field takes the focus on the next turn of the panel's main loop
}

# Two folders of phrases; the second folder's second phrase is the one chosen by its labels.
mkdir -p -m 0700 "$XDG_DATA_HOME/Norvale"
PHRASE="よろしくお願いいたします。"
cat >"$XDG_DATA_HOME/Norvale/FixedPhrases.json" <<JSON
[{"id":"00000000-0000-4000-8000-000000000001","title":"挨拶","isVisible":true,"phrases":[
  {"id":"00000000-0000-4000-8000-000000000002","title":"朝","content":"おはようございます","isVisible":true}]},
 {"id":"00000000-0000-4000-8000-000000000003","title":"署名","isVisible":true,"phrases":[
  {"id":"00000000-0000-4000-8000-000000000004","title":"短","content":"-- N","isVisible":true},
  {"id":"00000000-0000-4000-8000-000000000005","title":"結び","content":"$PHRASE","isVisible":true}]}]
JSON
chmod 0600 "$XDG_DATA_HOME/Norvale/FixedPhrases.json"
"$NORVALE" config set feature.clipboardHistory.autoPasteAfterSelectingHistory true --type bool

norvale_start
for text in "alpha 貼り付け" "beta keyword" "gamma text"; do
    e2e_copy "${text%% *}" --type text/plain --text "$text"
    e2e_wait_until 10 "'$text' recorded" listed "$text"
done

E2E_STDOUT="$E2E_TMP/editor.out" e2e_spawn editor "$E2E_PASTE_TARGET" \
    --title editor --geometry 480x40+1200+700
e2e_wait_until 10 "the editor" e2e_file_has_line "$E2E_TMP/editor.out" ready
xdotool windowactivate --sync "$(timeout 10 xdotool search --sync --onlyvisible --name '^editor$' | head -n 1)"
e2e_wait_until 10 "the editor active" e2e_file_has_line "$E2E_TMP/editor.out" active
xdotool mousemove 600 300

# A keyword, Down to its one match among the texts, Return: pasted into the editor.
open_panel
keys k e y w o r d Down
desktop_screenshot quick-panel-search
keys Return
e2e_wait_until 10 "the entry pasted into the editor" editor_shows "beta keyword"
e2e_wait_until 5 "the panel closed after the paste" panel_closed

# Right on the empty field opens the side panel; 2 picks the second folder, 2 its second phrase.
open_panel
keys Right 2
desktop_screenshot quick-panel-side-panel
keys 2
e2e_wait_until 10 "the phrase pasted into the editor" editor_shows "beta keyword$PHRASE"
e2e_wait_until 5 "the panel closed after the phrase" panel_closed

# Past two polls of the clipboard (0.75 s each) the phrase is still not in the history, while
# the next copy of another application is recorded.
sleep 2
! listed "$PHRASE" || e2e_fail "the phrase was recorded in the history"
e2e_copy delta --type text/plain --text "delta after the phrase"
e2e_wait_until 10 "the next copy recorded" listed "delta after the phrase"
! listed "$PHRASE" || e2e_fail "the phrase was recorded in the history"
[[ "$("$NORVALE" phrases status)" == $'idle\t定型文をコピーしました' ]] \
    || e2e_fail "phrases status: $("$NORVALE" phrases status)"

# From the command line: the same copy, and no paste.
"$NORVALE" phrases copy 挨拶 朝 >"$E2E_TMP/copy.out"
[[ "$(cat "$E2E_TMP/copy.out")" == "定型文をコピーしました" ]] || e2e_fail "phrases copy: $(cat "$E2E_TMP/copy.out")"
[[ "$(xclip -selection clipboard -o)" == "おはようございます" ]] || e2e_fail "the copied phrase is not on the clipboard"
sleep 2
! listed "おはようございます" || e2e_fail "the phrase copied from the command line was recorded"
if editor_shows "beta keyword${PHRASE}おはようございます"; then e2e_fail "the command line pasted"; fi

"$NORVALE" quit
wait "$NORVALE_PID" || e2e_fail "norvale quit: the instance exited $?"
e2e_log "PASS"
