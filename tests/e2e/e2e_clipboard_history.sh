#!/bin/bash
# Clipboard history end to end: the real norvale, started with a private HOME inside a private
# Xvfb, records what other applications copy. Every copy is made by a new clipboard-owner
# (a Qt program offering several formats at once, as desktop applications do); the test then
# reads ClipboardHistory.json: kinds, order, de-duplication, TIFF converted to PNG, spreadsheet
# rules, and that content a password manager marked secret never reaches the file.
#
# Where a copy must leave no trace, the test waits until norvale has read the deciding type
# (clipboard-owner prints "served TYPE"), so the absence is proven rather than assumed.
set -euo pipefail
source "${E2E_LIB:-$(dirname "$0")/lib}/desktop.sh"

e2e_require_programs NORVALE E2E_CLIPBOARD_OWNER
desktop_start --dbus
e2e_require_tools jq base64 sha256sum cmp stat convert identify

HISTORY="$XDG_DATA_HOME/Norvale/ClipboardHistory.json"
NORVALE_PID=

start_norvale() {
    e2e_spawn norvale "$NORVALE"
    NORVALE_PID=$E2E_LAST_PID
}

check_norvale_alive() {
    e2e_alive "$NORVALE_PID" \
        || e2e_fail "norvale exited: $(tail -n 20 "$E2E_ARTIFACTS/logs/norvale.log")"
}

OWNER_COUNT=0
OWNER_OUT=
# copy NAME (--type TYPE (--text S | --file F))... — a new owner takes the clipboard.
copy() {
    local name=$1
    shift
    check_norvale_alive
    OWNER_COUNT=$((OWNER_COUNT + 1))
    OWNER_OUT="$E2E_TMP/owner-$OWNER_COUNT-$name.out"
    E2E_STDOUT=$OWNER_OUT e2e_spawn "owner-$OWNER_COUNT-$name" "$E2E_CLIPBOARD_OWNER" "$@"
    e2e_wait_until 10 "clipboard-owner '$name' to own the clipboard" \
        e2e_file_has_line "$OWNER_OUT" ready
}

# history_has JQ-FILTER [ARGUMENTS...] — the filter holds for the history file.
history_has() {
    local filter=$1
    shift
    [[ -f "$HISTORY" ]] && jq -e "$@" "$filter" "$HISTORY" >/dev/null
}

wait_history() {
    local description=$1
    shift
    e2e_wait_until 10 "$description" history_has "$@"
    check_norvale_alive
}

image_fingerprint() {
    printf 'image:%s:%s' "$(stat -c %s "$1")" "$(sha256sum "$1" | cut -d' ' -f1)"
}

# imageData of the item at INDEX, decoded into FILE.
decode_image() {
    jq -r ".[$1].imageData" "$HISTORY" | base64 -d >"$2"
}

WARM_UP="norvale e2e: warm-up"
TEXT="こんにちは、クリップボード 1"
URL="  https://example.com/path?q=1&r=%20"
SHEET=$'A1\tB1\nA2\tB2'
SECRET="hunter2-e2e-$RANDOM-not-for-the-history"
PNG="$E2E_TMP/copied.png"
TIFF="$E2E_TMP/copied.tiff"
SHEET_PNG="$E2E_TMP/cells.png"
convert -size 40x30 'xc:#3366cc' "$PNG"
convert -size 20x10 gradient:red-blue -compress none "$TIFF"
convert -size 16x16 'xc:#20a040' "$SHEET_PNG"

start_norvale

# Copies made before the history model runs are, by design, not recorded: copy the warm-up
# text again until it appears, which also tells that norvale is up and polling.
deadline=$((SECONDS + 40))
until history_has '.[0].text == $t' --arg t "$WARM_UP"; do
    ((SECONDS < deadline)) || e2e_fail "norvale never recorded a copy"
    copy warm-up --type text/plain --text "$WARM_UP"
    for _ in $(seq 30); do
        history_has '.[0].text == $t' --arg t "$WARM_UP" && break
        sleep 0.1
    done
done
e2e_log "norvale records copies"

copy text --type text/plain --text "$TEXT"
wait_history "the text on top" '.[0].text == $t and .[0].kind == "text"' --arg t "$TEXT"
FIRST_TEXT_ID=$(jq -r '.[0].id' "$HISTORY")

copy url --type text/plain --text "$URL"
wait_history "the URL on top" '.[0].text == $t and .[0].kind == "url"' --arg t "$URL"

copy png --type image/png --file "$PNG"
wait_history "the PNG on top" '.[0].fingerprint == $f' --arg f "$(image_fingerprint "$PNG")"

copy tiff --type image/tiff --file "$TIFF"
wait_history "the TIFF-only image on top" '.[0].kind == "image" and length == 5'

# Spreadsheet content without text is not recorded, not even its picture. The application id
# is read before the type names are looked at; its "served" line proves the capture ran.
copy sheet-picture --type image/png --file "$SHEET_PNG" \
    --type application/vnd.oasis.opendocument.spreadsheet --text "cells" \
    --type com.microsoft.appbundleid --text "org.libreoffice.calc"
e2e_wait_until 10 "norvale to read the copied application id" \
    e2e_file_has_line "$OWNER_OUT" "served com.microsoft.appbundleid"

copy sheet-text --type text/plain --text "$SHEET" --type text/tab-separated-values --text "$SHEET" \
    --type application/vnd.oasis.opendocument.spreadsheet --text "cells" \
    --type image/png --file "$SHEET_PNG"
wait_history "the spreadsheet text on top" '.[0].text == $t and .[0].kind == "text"' \
    --arg t "$SHEET"

copy secret --type text/plain --text "$SECRET" --type x-kde-passwordManagerHint --text secret
e2e_wait_until 10 "norvale to read the password manager's hint" \
    e2e_file_has_line "$OWNER_OUT" "served x-kde-passwordManagerHint"

copy text-again --type text/plain --text "$TEXT"
wait_history "the repeated text back on top" '.[0].text == $t and length == 6' --arg t "$TEXT"

e2e_log "checking $HISTORY"
cp "$HISTORY" "$E2E_ARTIFACTS/ClipboardHistory.json"
history_has '[.[].kind] == ["text", "text", "image", "image", "url", "text"]' \
    || e2e_fail "kinds or order: $(jq -c '[.[].kind]' "$HISTORY")"
history_has '.[0].text == $a and .[1].text == $b and .[4].text == $c and .[5].text == $d' \
    --arg a "$TEXT" --arg b "$SHEET" --arg c "$URL" --arg d "$WARM_UP" \
    || e2e_fail "texts: $(jq -c '[.[].text]' "$HISTORY")"
history_has '[.[] | select(.text == $t)] | length == 1' --arg t "$TEXT" \
    || e2e_fail "the repeated text is kept twice"
history_has '.[0].id != $id' --arg id "$FIRST_TEXT_ID" \
    || e2e_fail "the repeated text kept its first id"
history_has 'all(.[]; .kind == "image" or .fingerprint == "text:" + .text)' \
    || e2e_fail "a text fingerprint is not text: followed by the text"
history_has 'all(.[]; if .kind == "image" then has("imageData") and (has("text") | not)
        else has("text") and (has("imageData") | not) end)' \
    || e2e_fail "image items must have imageData and no text, the others the reverse"
history_has 'all(.[]; .id | test("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"))' \
    || e2e_fail "ids are not canonical upper-case UUIDs"
history_has 'all(.[]; .createdAt | test("^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z$"))' \
    || e2e_fail "dates are not ISO 8601 UTC without fractions"

decode_image 3 "$E2E_TMP/stored-png"
cmp -s "$PNG" "$E2E_TMP/stored-png" || e2e_fail "the PNG bytes were not stored unchanged"

decode_image 2 "$E2E_TMP/stored-tiff"
[[ "$(head -c 8 "$E2E_TMP/stored-tiff" | od -An -tx1 | tr -d ' \n')" == 89504e470d0a1a0a ]] \
    || e2e_fail "the TIFF-only image was not converted to PNG (is Qt's TIFF image plugin installed?)"
[[ "$(identify -format '%m %wx%h' "$E2E_TMP/stored-tiff")" == "PNG 20x10" ]] \
    || e2e_fail "the converted image is $(identify -format '%m %wx%h' "$E2E_TMP/stored-tiff")"
history_has '.[2].fingerprint == $f' --arg f "$(image_fingerprint "$E2E_TMP/stored-tiff")" \
    || e2e_fail "the converted image's fingerprint is not that of its PNG bytes"

history_has 'all(.[]; .fingerprint != $f)' --arg f "$(image_fingerprint "$SHEET_PNG")" \
    || e2e_fail "the picture of a spreadsheet copy was recorded"
if grep -qF -- "hunter2-e2e" "$HISTORY"; then
    e2e_fail "the password manager's secret reached the history file"
fi

# The file as written: pretty, keys sorted, slashes escaped, no line feed at the end.
start=$'[\n  {\n    "createdAt" : "'
[[ "$(head -c ${#start} "$HISTORY")" == "$start" ]] \
    || e2e_fail "the file does not start in the pretty form: $(head -c 40 "$HISTORY" | od -c | head -3)"
grep -qF '"text" : "  https:\/\/example.com\/path?q=1&r=%20"' "$HISTORY" \
    || e2e_fail "the URL is not written with escaped slashes"
[[ "$(tail -c 2 "$HISTORY" | od -An -tx1 | tr -d ' \n')" == 0a5d ]] \
    || e2e_fail "the file does not end with a line feed and ] exactly"
[[ "$(stat -c %a "$HISTORY")" == 600 ]] || e2e_fail "the history file is not 0600"
[[ "$(stat -c %a "$(dirname "$HISTORY")")" == 700 ]] || e2e_fail "the Norvale folder is not 0700"
if grep -rqF -- "hunter2-e2e" "$HOME"; then
    e2e_fail "the secret reached a file under HOME"
fi

# A normal quit keeps the file; the next start continues the same history.
e2e_stop "$NORVALE_PID" || e2e_fail "norvale did not exit cleanly on SIGTERM (status $?)"
cmp -s "$HISTORY" "$E2E_ARTIFACTS/ClipboardHistory.json" || e2e_fail "quitting changed the file"
start_norvale
deadline=$((SECONDS + 40))
until history_has '.[0].text == "after the restart" and length == 7'; do
    ((SECONDS < deadline)) || e2e_fail "the restarted norvale did not add to the history"
    copy after-restart --type text/plain --text "after the restart"
    for _ in $(seq 30); do
        history_has '.[0].text == "after the restart"' && break
        sleep 0.1
    done
done
history_has '[.[1:][].id] == $ids' --argjson ids "$(jq -c '[.[].id]' "$E2E_ARTIFACTS/ClipboardHistory.json")" \
    || e2e_fail "the restarted norvale lost or reordered the earlier history"
e2e_log "PASS"
