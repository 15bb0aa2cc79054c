#!/usr/bin/env bash
# Builds the Debian package, installs it on this machine, validates the launcher and AppStream
# entries it installed, and checks that the installed norvale starts on the simulated world and
# answers: once without a display, and once on a private X server through Qt's X11 plug-in, the
# one the desktop uses.
set -euo pipefail
cd "$(dirname "$0")/.."

deb=$(./scripts/package.sh)

sudo=
if [ "$(id -u)" -ne 0 ]; then
    sudo=sudo
fi
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --reinstall "$deb" >/dev/null
desktop-file-validate /usr/share/applications/app.norvale.Norvale.desktop
appstreamcli validate --no-net /usr/share/metainfo/app.norvale.Norvale.metainfo.xml
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' \
    /usr/share/doc/norvale/copyright

# A private runtime folder, so that the check neither meets nor disturbs a running Norvale.
runtime=$(mktemp -d)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime
xvfb=
norvale=
cleanup() {
    [ -z "$norvale" ] || kill "$norvale" 2>/dev/null || true
    [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
    rm -rf "$runtime"
}
trap cleanup EXIT

# Starts the installed norvale --simulate on the Qt platform $1, waits until `status` answers,
# checks that the plug-in of that platform is what runs, and quits it.
start_and_ask() {
    local platform=$1
    QT_QPA_PLATFORM=$platform /usr/bin/norvale --simulate >"$runtime/norvale.log" 2>&1 &
    norvale=$!
    for _ in $(seq 100); do
        if /usr/bin/norvale --simulate status >"$runtime/status" 2>/dev/null; then
            cat "$runtime/status"
            if ! grep -q "/libq$platform\.so\$" "/proc/$norvale/maps"; then
                echo "The installed norvale does not run on Qt's $platform plug-in." >&2
                return 1
            fi
            /usr/bin/norvale --simulate quit
            wait "$norvale"
            norvale=
            echo "Installed $deb; its norvale --simulate answers on $platform." >&2
            return 0
        fi
        kill -0 "$norvale" 2>/dev/null || break
        sleep 0.2
    done
    echo "The installed norvale --simulate did not answer on $platform:" >&2
    cat "$runtime/norvale.log" >&2
    return 1
}

start_and_ask offscreen

Xvfb -displayfd 9 -screen 0 1280x800x24 -nolisten tcp -noreset 9>"$runtime/display" \
    2>"$runtime/xvfb.log" &
xvfb=$!
for _ in $(seq 100); do
    [ -s "$runtime/display" ] && break
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.1
done
if [ ! -s "$runtime/display" ]; then
    echo "Xvfb did not start:" >&2
    cat "$runtime/xvfb.log" >&2
    exit 1
fi
DISPLAY=:$(cat "$runtime/display") start_and_ask xcb
