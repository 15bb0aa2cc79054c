#!/bin/bash
# The real norvale records what other applications copy (each copy a new clipboard-owner
# offering several formats at once) into ClipboardHistory.json: kinds, order, de-duplication,
# PNG bytes unchanged, TIFF converted to PNG, the exact file bytes and modes, and a password
# manager's secret never reaching any file under HOME: the test waits until norvale has fetched
# the hint (clipboard-owner prints "served TYPE"), so the absence is proven, not assumed. An
# owner that trickles its contents out neither freezes the instance nor delays the next copy.
set -euo pipefail
source "$E2E_LIB/desktop.sh"

e2e_require_programs NORVALE E2E_SLOW_CLIPBOARD_OWNER
desktop_start --dbus
HISTORY="$XDG_DATA_HOME/Norvale/ClipboardHistory.json"

# history_has JQ-FILTER [JQ-ARGUMENTS...]
history_has() {
    local filter=$1
    shift
    [[ -f "$HISTORY" ]] && jq -e "$@" "$filter" "$HISTORY" >/dev/null
}

wait_history() {
    local description=$1
    shift
    e2e_wait_until 10 "$description" history_has "$@"
    norvale_check_alive
}

image_fingerprint() { printf 'image:%s:%s' "$(stat -c %s "$1")" "$(sha256sum <"$1" | cut -d' ' -f1)"; }
hex() { od -An -tx1 | tr -d ' \n'; }

TEXT="こんにちは、クリップボード 1"
URL="  https://example.com/path?q=1&r=%20"
SECRET="hunter2-e2e-$RANDOM-not-for-the-history"
PNG="$E2E_TMP/copied.png" TIFF="$E2E_TMP/copied.tiff"
convert -size 40x30 'xc:#3366cc' "$PNG"
convert -size 20x10 gradient:red-blue -compress none "$TIFF"

norvale_start
# The history may start watching only after the socket answers: copy again until recorded.
deadline=$((SECONDS + 40))
until history_has '.[0].text == "warm-up"'; do
    ((SECONDS < deadline)) || e2e_fail "norvale never recorded a copy"
    e2e_copy warm-up --type text/plain --text warm-up
    e2e_poll 3 history_has '.[0].text == "warm-up"' || true
done

e2e_copy text --type text/plain --text "$TEXT"
wait_history "the text" '.[0].text == $t and .[0].kind == "text"' --arg t "$TEXT"
FIRST_TEXT_ID=$(jq -r '.[0].id' "$HISTORY")
e2e_copy url --type text/plain --text "$URL"
wait_history "the URL" '.[0].text == $t and .[0].kind == "url"' --arg t "$URL"
e2e_copy png --type image/png --file "$PNG"
wait_history "the PNG" '.[0].fingerprint == $f' --arg f "$(image_fingerprint "$PNG")"
e2e_copy tiff --type image/tiff --file "$TIFF"
wait_history "the TIFF-only image" '.[0].kind == "image" and length == 5'

e2e_copy secret --type text/plain --text "$SECRET" --type x-kde-passwordManagerHint --text secret
e2e_wait_until 10 "norvale to read the password manager's hint" \
    e2e_file_has_line "$OWNER_OUT" "served x-kde-passwordManagerHint"
e2e_copy text-again --type text/plain --text "$TEXT"
wait_history "the repeated text back on top" '.[0].text == $t and length == 5' --arg t "$TEXT"
cp "$HISTORY" "$E2E_ARTIFACTS/ClipboardHistory.json"

history_has '[.[].kind] == ["text", "image", "image", "url", "text"]' \
    || e2e_fail "kinds or order: $(jq -c '[.[].kind]' "$HISTORY")"
history_has '[.[].text] == [$a, null, null, $c, "warm-up"] and .[0].id != $id' --arg a "$TEXT" \
    --arg c "$URL" --arg id "$FIRST_TEXT_ID" \
    || e2e_fail "texts (the repeated one once, with a new id): $(jq -c '[.[] | [.text, .id]]' "$HISTORY")"
jq -r '.[2].imageData' "$HISTORY" | base64 -d >"$E2E_TMP/stored-png"
cmp -s "$PNG" "$E2E_TMP/stored-png" || e2e_fail "the PNG bytes were not stored unchanged"
jq -r '.[1].imageData' "$HISTORY" | base64 -d >"$E2E_TMP/stored-tiff"
[[ "$(identify -format '%m %wx%h' "$E2E_TMP/stored-tiff")" == "PNG 20x10" ]] \
    || e2e_fail "the TIFF-only image was not converted to PNG (Qt's TIFF plugin installed?)"
history_has '.[1].fingerprint == $f' --arg f "$(image_fingerprint "$E2E_TMP/stored-tiff")" \
    || e2e_fail "the converted image's fingerprint is not that of its PNG bytes"

# The file as written: pretty, keys sorted, slashes escaped, "]" last with no line feed.
start=$'[\n  {\n    "createdAt" : "'
[[ "$(head -c ${#start} "$HISTORY")" == "$start" ]] || e2e_fail "not the pretty form: $(head -c 40 "$HISTORY")"
grep -qF '"text" : "  https:\/\/example.com\/path?q=1&r=%20"' "$HISTORY" \
    || e2e_fail "the URL is not written with escaped slashes"
[[ "$(tail -c 2 "$HISTORY" | hex)" == 0a5d ]] || e2e_fail "the file does not end with a line feed and ]"
[[ "$(stat -c %a "$HISTORY") $(stat -c %a "${HISTORY%/*}")" == "600 700" ]] \
    || e2e_fail "the file and its folder are not 0600 and 0700"
if grep -rqF -- "hunter2-e2e" "$HOME"; then
    e2e_fail "the password manager's secret reached a file under HOME"
fi

# An owner that trickles its text out over INCR, one chunk just inside each chunk time-out,
# while another program copies: the instance keeps answering and records the new copy at once.
E2E_STDOUT="$E2E_TMP/slow.out" e2e_spawn slow-owner "$E2E_SLOW_CLIPBOARD_OWNER" 30 1900
e2e_wait_until 10 "norvale reading the slow owner" e2e_file_has_line "$E2E_TMP/slow.out" "chunk 1"
e2e_copy after-slow --type text/plain --text "after the slow owner"
slowest=0
for _ in $(seq 30); do
    start=$(date +%s%N)
    timeout 10 "$NORVALE" status >/dev/null || e2e_fail "norvale status failed after a slow owner"
    ms=$((($(date +%s%N) - start) / 1000000))
    ((ms <= slowest)) || slowest=$ms
done
e2e_log "slowest of 30 status answers while a slow owner was being read: $slowest ms"
((slowest < 1000)) || e2e_fail "the instance took $slowest ms to answer"
wait_history "the copy after the slow owner" '.[0].text == "after the slow owner"'
e2e_log "PASS"
