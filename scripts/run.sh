#!/usr/bin/env bash
# Builds Norvale and starts it. Without a display it starts on a private Xvfb and says so.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh build

build=${NORVALE_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target norvale

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    dir=$(mktemp -d)
    Xvfb -displayfd 9 -screen 0 1920x1080x24 -nolisten tcp -noreset 9>"$dir/display" &
    xvfb=$!
    trap 'kill $xvfb 2>/dev/null; rm -rf "$dir"' EXIT
    for _ in $(seq 50); do
        [ -s "$dir/display" ] && break
        sleep 0.1
    done
    export DISPLAY=":$(cat "$dir/display")"
    echo "No display found: Norvale runs on a private Xvfb at $DISPLAY." >&2
fi
"$build/src/app/norvale" "$@"
