#!/bin/bash
# norvale-hidutil against a real X server: a prepared sysfs tree lists one USB mouse whose X
# pointer is Xvfb's own mouse, given made-up libinput properties (Xvfb keeps any property; no
# real libinput device exists here). Writes through the helper change what xinput shows, reads
# return what was written, and a change made elsewhere is read from the device. Then the
# running application tunes that mouse through the same helper.
set -euo pipefail
source "$E2E_LIB/desktop.sh"

e2e_require_programs NORVALE_HIDUTIL NORVALE
e2e_require_tools xinput
desktop_start

mouse="Xvfb mouse"
xinput set-prop --type=float --format=32 "$mouse" "libinput Accel Speed" 0
xinput set-prop --type=int --format=8 "$mouse" "libinput Accel Profile Enabled" 1 0
xinput set-prop --type=int --format=32 "$mouse" "Device Product ID" 1133 49271

# A mouse on USB bus 1, port 3, as the kernel and udev describe it.
root=$E2E_TMP/root
usb=$root/sys/devices/pci0000:00/usb1/1-3
input=$usb/1-3:1.0/input/input5
mkdir -p "$input/id" "$input/event5" "$root/sys/class/input" "$root/run/udev/data"
echo 1 >"$usb/busnum"
echo 3 >"$usb/devpath"
echo "Optical Mouse" >"$usb/product"
echo "Logitech" >"$usb/manufacturer"
echo "Logitech Optical Mouse" >"$input/name"
echo 0003 >"$input/id/bustype"
echo 046d >"$input/id/vendor"
echo c077 >"$input/id/product"
echo 13:69 >"$input/event5/dev"
echo E:ID_INPUT_MOUSE=1 >"$root/run/udev/data/c13:69"
ln -s "$input" "$root/sys/class/input/input5"
export NORVALE_HIDUTIL_ROOT=$root

listed=$("$NORVALE_HIDUTIL" list --matching mouse --ndjson)
[[ "$listed" == '{"VendorID":1133,"ProductID":49271,"LocationID":19922944,"Transport":"USB","Product":"Optical Mouse","Manufacturer":"Logitech","PrimaryUsagePage":1,"PrimaryUsage":2}' ]] \
    || e2e_fail "list: $listed"

matching='{"VendorID":1133,"ProductID":49271,"LocationID":19922944}'
hid() { "$NORVALE_HIDUTIL" property --matching "$matching" "$@"; }
# The number at the end of the one line after the header.
read_back() { hid --get "$1" | awk 'NR == 2 { print $NF }'; }
prop_now() { xinput list-props "$mouse" | grep -qP "^\s*\Q$1\E \(\d+\):\s*\Q$2\E$"; }
prop_is() { prop_now "$1" "$2" || e2e_fail "$1 is not $2: $(xinput list-props "$mouse" | grep libinput)"; }

# Cursor speed 5 (5 x 6553) and no acceleration, as the mouse model writes them.
hid --set '{"HIDMouseAcceleration":0,"HIDPointerAcceleration":32765}'
prop_is "libinput Accel Speed" -0.500046
prop_is "libinput Accel Profile Enabled" "0, 1"
[[ "$(read_back HIDPointerAcceleration)" == 32765 ]] || e2e_fail "speed: $(hid --get HIDPointerAcceleration)"
[[ "$(read_back HIDMouseAcceleration)" == 0 ]] || e2e_fail "acceleration: $(hid --get HIDMouseAcceleration)"

# Acceleration 3 (3 x 9011): the adaptive profile, read back as written.
hid --set '{"HIDMouseAcceleration":27033,"HIDPointerAcceleration":32765}'
prop_is "libinput Accel Profile Enabled" "1, 0"
[[ "$(read_back HIDMouseAcceleration)" == 27033 ]] || e2e_fail "acceleration: $(hid --get HIDMouseAcceleration)"

# The scroll-acceleration reset is accepted and changes nothing.
hid --set '{"HIDScrollAcceleration":0,"HIDMouseScrollAcceleration":0}'
prop_is "libinput Accel Profile Enabled" "1, 0"

# Changed by another tool: the device's own settings are read.
xinput set-prop "$mouse" "libinput Accel Profile Enabled" 0 1
xinput set-prop "$mouse" "libinput Accel Speed" 0.25
[[ "$(read_back HIDMouseAcceleration)" == 0 ]] || e2e_fail "acceleration: $(hid --get HIDMouseAcceleration)"
[[ "$(read_back HIDPointerAcceleration)" == 81920 ]] || e2e_fail "speed: $(hid --get HIDPointerAcceleration)"

# Refusals: standard error and a non-zero exit, nothing changed.
if hid --set '{"HIDPointerAcceleration":' 2>"$E2E_TMP/err"; then e2e_fail "bad JSON accepted"; fi
[[ -s "$E2E_TMP/err" ]] || e2e_fail "bad JSON without a message"
prop_is "libinput Accel Speed" 0.250000
if DISPLAY=:none hid --get HIDPointerAcceleration 2>"$E2E_TMP/err"; then e2e_fail "read without X"; fi
[[ -s "$E2E_TMP/err" ]] || e2e_fail "no message without X"

# The running application tunes the same mouse through the helper beside it. Listing selects
# the mouse and reads the levels it holds (speed 0 reads as 65536, level 10; adaptive as 45056,
# level 5), stored once read; switched on, the application writes them; a new level reaches the
# device; switched off, the baseline captured when the mouse was first seen is put back.
# (Switching on before the levels are read would race that reading against the first write.)
xinput set-prop "$mouse" "libinput Accel Speed" 0
xinput set-prop "$mouse" "libinput Accel Profile Enabled" 1 0
rm "$XDG_RUNTIME_DIR/Norvale/hidutil.json"
norvale_start
[[ "$("$NORVALE" mouse devices)" == "$(printf '1133:49271:19922944\tOptical Mouse / Logitech (VID:0x46d, PID:0xc077, USB)\tselected')" ]] \
    || e2e_fail "mouse devices: $("$NORVALE" mouse devices)"
e2e_wait_until 5 "the levels read from the mouse" \
    grep -qx 'feature.mouse.cursorSpeedLevel=int:10' "$XDG_CONFIG_HOME/Norvale/Norvale.conf"
"$NORVALE" mouse enable >/dev/null
e2e_wait_until 5 "level 10 (10 x 6553) written" prop_now "libinput Accel Speed" -0.000092
# Two changes back to back: the write the second one replaces ends before the next begins, so
# the device is left with both.
"$NORVALE" mouse set cursor-speed 20 >/dev/null
"$NORVALE" mouse set acceleration 0 >/dev/null
e2e_wait_until 5 "no acceleration on the device" prop_now "libinput Accel Profile Enabled" "0, 1"
e2e_wait_until 5 "cursor speed 20 (20 x 6553) on the device" prop_now "libinput Accel Speed" 0.999817
prop_is "libinput Accel Profile Enabled" "0, 1"
"$NORVALE" mouse disable >/dev/null
e2e_wait_until 5 "the baseline speed back" prop_now "libinput Accel Speed" 0.000000
prop_is "libinput Accel Profile Enabled" "1, 0"
norvale_check_alive
