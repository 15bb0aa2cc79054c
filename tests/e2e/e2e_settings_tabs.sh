#!/bin/bash
# The settings window under openbox: `norvale settings --tab <title>` opens each tab, the
# window keeps its 720x660 content at scale 1.0 and grows with the scale; a screenshot of every
# tab at 1.0 ("定型文" with sample phrases) and of "一般", "定型文" and "マウス" at 1.5 lands in the
# artifacts for a reviewer to look at. Then the same in the simulated world, whose sample data
# gives every feature tab something to show (sim-*.png, "ウィンドウ固定" also scrolled down).
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

# shoot [--simulate] TITLE RAW NAME — opens the tab, waits until it is the selected one (the
# simulated world keeps its settings in memory: there until the window shows), saves the window.
shoot() {
    local world=()
    if [[ $1 == --simulate ]]; then
        world=(--simulate)
        shift
    fi
    "$NORVALE" "${world[@]}" settings --tab "$1"
    e2e_wait_until 10 "the settings window on $1" settings_window
    if ((${#world[@]} == 0)); then
        e2e_wait_until 10 "$1 selected" selected_tab "$2"
    fi
    sleep 0.5 # the frame after the switch, and the refreshes asked for when the window showed
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
shoot マウス mouse settings-mouse-1.5
[[ "$(settings_size)" == 1080x990 ]] || e2e_fail "settings window at scale 1.5 is $(settings_size)"
"$NORVALE" quit
wait "$NORVALE_PID" || e2e_fail "norvale quit: the instance exited $?"
e2e_spawn norvale-sim "$NORVALE" --simulate
SIM_PID=$E2E_LAST_PID
e2e_wait_until 15 "the simulated norvale answering" "$NORVALE" --simulate status
for tab in "一般 general" "クリップボード clipboard" "定型文 fixed-phrases" "Dock dock" \
    "マウス mouse" "サウンド sound" "更新 software-update" "ウィンドウ固定 window-placement"; do
    read -r title name <<<"$tab"
    shoot --simulate "$title" - "sim-settings-$name"
done
[[ "$(settings_size)" == 720x660 ]] || e2e_fail "simulated settings window is $(settings_size)"
# The wheel over the tab's left margin, where no list takes it, scrolls the whole tab.
xdotool mousemove --window "$(settings_window)" 8 400 click --repeat 20 --delay 20 5
shoot --simulate ウィンドウ固定 - sim-settings-window-placement-rules
! cmp -s "$E2E_ARTIFACTS"/sim-settings-window-placement{,-rules}.png || e2e_fail "no scrolling"
"$NORVALE" --simulate quit
wait "$SIM_PID" || e2e_fail "norvale --simulate quit: the instance exited $?"
e2e_log "PASS"
