#!/bin/bash
# Window placement with the real norvale: `norvale monitors` names the attached RandR monitors
# the way rules record them (origins measured from the primary monitor's bottom-left corner,
# y upwards) and follows a change of the layout.
set -euo pipefail
source "$E2E_LIB/desktop.sh"

e2e_require_programs NORVALE
# RIGHT is 56 pixels shorter than LEFT, top-aligned: its bottom edge is 56 above LEFT's.
desktop_start --wm --monitors '*LEFT:1920x1080+0+0 RIGHT:1280x1024+1920+0'
norvale_start

monitors_are() {
    [[ "$("$NORVALE" monitors)" == "$(printf 'signature\t%s\ndescription\t%s' "$1" "$2")" ]]
}
e2e_wait_until 10 "the two monitors" monitors_are \
    'type:external;origin:0,0;size:1920x1080;pixel:1920x1080|type:external;origin:1920,56;size:1280x1024;pixel:1280x1024' \
    '外部* 1920x1080 @ (0, 0) / 外部 1280x1024 @ (1920, 56)'

# Qt can miss a delete and an add made by one xrandr call.
xrandr --delmonitor RIGHT >/dev/null
xrandr --setmonitor LOWER 1920/508x540/143+1920+540 none >/dev/null
e2e_wait_until 10 "the changed layout" monitors_are \
    'type:external;origin:0,0;size:1920x1080;pixel:1920x1080|type:external;origin:1920,0;size:1920x540;pixel:1920x540' \
    '外部* 1920x1080 @ (0, 0) / 外部 1920x540 @ (1920, 0)'
norvale_check_alive
