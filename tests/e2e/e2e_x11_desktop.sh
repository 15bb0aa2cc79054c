#!/bin/bash
# The desktop services on a real X server: active-window tracking and pager activation under
# openbox, the XTest paste into a Qt line edit, per-monitor work areas from trayer's strut,
# the tray icon when the tray host starts after Norvale asked for it, the quick panel's window
# and the settings window's frame (X11DesktopTest), then the tray icon on a StatusNotifierItem
# watcher that appears late (StatusNotifierTest). Screenshots go to E2E_ARTIFACTS.
set -euo pipefail
source "${E2E_LIB:-$(dirname "$0")/lib}/desktop.sh"

e2e_require_programs E2E_TST E2E_PASTE_TARGET
desktop_start --screen 3840x1080 --wm --dbus --monitors '*LEFT:1920x1080+0+0 RIGHT:1920x1080+1920+0'
e2e_require_tools trayer xdotool xprop import

NORVALE_TEST_CLASS=X11DesktopTest "$E2E_TST" -o "$E2E_ARTIFACTS/tst_e2e.txt,txt" -o -,txt "$@"
# A process of its own: Qt picks the tray protocol once per process. trayer is gone by now.
NORVALE_TEST_CLASS=StatusNotifierTest "$E2E_TST" -o "$E2E_ARTIFACTS/tst_e2e_sni.txt,txt" -o -,txt "$@"
