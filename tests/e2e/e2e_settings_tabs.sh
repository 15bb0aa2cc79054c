#!/bin/bash
# The settings window under openbox: `norvale settings --tab <title>` opens each tab, the
# window keeps its 720x660 content at scale 1.0 and grows with the scale; a screenshot of every
# tab at 1.0 ("定型文" with sample phrases) and of "一般" and "定型文" at 1.5 lands in the artifacts for a
# reviewer to look at.
set -euo pipefail
source "$E2E_LIB/desktop.sh"

e2e_require_programs NORVALE
desktop_start --wm --dbus

settings_window() { xdotool search --onlyvisible --name '^設定$' | head -n 1; }
# The content size of the settings window as "WxH".
settings_size() { xwininfo -id "$(settings_window)" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }'; }
# Nothing stored yet reads as "一般".
selected_tab() {
    local stored
    stored=$("$NORVALE" config get settings.selectedTab 2>/dev/null || true)
    [[ "$stored" == *"$1"* || ( -z "$stored" && "$1" == general ) ]]
}

# shoot TITLE RAW NAME — opens the tab, waits until it is the selected one, saves the window.
shoot() {
    "$NORVALE" settings --tab "$1"
    e2e_wait_until 10 "the settings window on $1" settings_window
    e2e_wait_until 10 "$1 selected" selected_tab "$2"
    sleep 0.3 # the frame after the switch
    import -display "$DISPLAY" -window "$(settings_window)" "$E2E_ARTIFACTS/$3.png" \
        || e2e_fail "no screenshot of $1"
}

norvale_start
shoot 一般 general settings-general
[[ "$(settings_size)" == 720x660 ]] || e2e_fail "settings window at scale 1.0 is $(settings_size)"
shoot クリップボード clipboardMonitoring settings-clipboard
# Sample phrases for "定型文", imported through the running instance.
cat >"$E2E_TMP/sample-phrases.csv" <<'CSV'
分類,分類の表示,タイトル,内容,定型文の表示
あいさつ,表示,お礼,"いつもお世話になっております。
ご連絡ありがとうございます。",表示
あいさつ,表示,締め,今後ともよろしくお願いいたします。,表示
あいさつ,表示,お詫び（長いタイトルは省略されて表示されます）,ご迷惑をおかけして申し訳ありません。,非表示
署名,表示,会社署名,"株式会社ノルヴェイル
開発部 山田",表示
住所,非表示,,,表示
CSV
"$NORVALE" phrases import "$E2E_TMP/sample-phrases.csv" >/dev/null \
    || e2e_fail "the sample phrases were not imported"
shoot 定型文 fixedPhrases settings-fixed-phrases
shoot Dock dock settings-dock
shoot ウィンドウ固定 windowPlacement settings-window-placement
shoot マウス mouse settings-mouse
shoot サウンド sound settings-sound
shoot 更新 softwareUpdate settings-software-update
"$NORVALE" quit
wait "$NORVALE_PID" || e2e_fail "norvale quit: the instance exited $?"

"$NORVALE" config set settings.uiScale 1.5 --type double
norvale_start
shoot 一般 general settings-general-1.5
shoot 定型文 fixedPhrases settings-fixed-phrases-1.5
[[ "$(settings_size)" == 1080x990 ]] || e2e_fail "settings window at scale 1.5 is $(settings_size)"
"$NORVALE" quit
wait "$NORVALE_PID" || e2e_fail "norvale quit: the instance exited $?"
e2e_log "PASS"
