#!/usr/bin/env bash
# Takes the README's screenshots again: runs the end-to-end tests that take them under Xvfb
# (the quick panel in e2e_app_shell, the settings tabs in e2e_settings_tabs) and copies their
# pictures into docs/. The feature tabs come from the simulated world, whose sample desk has
# three displays, windows, mice and sound outputs to show.
#
#   scripts/update-screenshots.sh        (NORVALE_BUILD_DIR, default build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${NORVALE_BUILD_DIR:-build}
[[ -f "$build/CMakeCache.txt" ]] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --parallel 2 --target norvale clipboard-owner paste-target selection-owner
ctest --test-dir "$build" --output-on-failure -R '^(e2e_app_shell|e2e_settings_tabs)$'

artifacts=$build/tests/e2e/artifacts
# docs/<name>.png from <test>/<picture>.png
while read -r name test picture; do
    cp "$artifacts/$test/$picture.png" "docs/$name.png"
    echo "docs/$name.png"
done <<'PICTURES'
quick-panel                     e2e_app_shell     quick-panel-history
settings-general                e2e_settings_tabs settings-general
settings-clipboard              e2e_settings_tabs sim-settings-clipboard
settings-fixed-phrases          e2e_settings_tabs settings-fixed-phrases
settings-dock                   e2e_settings_tabs sim-settings-dock
settings-window-placement       e2e_settings_tabs sim-settings-window-placement
settings-window-placement-rules e2e_settings_tabs sim-settings-window-placement-rules
settings-mouse                  e2e_settings_tabs sim-settings-mouse
settings-sound                  e2e_settings_tabs sim-settings-sound
settings-software-update        e2e_settings_tabs sim-settings-software-update
PICTURES
