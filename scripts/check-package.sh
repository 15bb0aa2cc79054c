#!/usr/bin/env bash
# Validates the launcher and AppStream entries, builds the Debian package, installs it on this
# machine and checks that the installed norvale starts on the simulated world and answers.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${NORVALE_BUILD_DIR:-build}
desktop-file-validate src/app/app.norvale.Norvale.desktop
deb=$(./scripts/package.sh | tail -n 1)
appstreamcli validate --no-net "$build/src/app/app.norvale.Norvale.metainfo.xml"

sudo=
if [ "$(id -u)" -ne 0 ]; then
    sudo=sudo
fi
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --reinstall "./$deb" >/dev/null

# A private runtime folder, so that the check neither meets nor disturbs a running Norvale.
runtime=$(mktemp -d)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime QT_QPA_PLATFORM=offscreen
/usr/bin/norvale --simulate >"$runtime/norvale.log" 2>&1 &
norvale=$!
trap 'kill $norvale 2>/dev/null || true; rm -rf "$runtime"' EXIT
for _ in $(seq 100); do
    if /usr/bin/norvale --simulate status >"$runtime/status" 2>/dev/null; then
        cat "$runtime/status"
        /usr/bin/norvale --simulate quit
        wait $norvale
        echo "Installed $deb; its norvale --simulate answers." >&2
        exit 0
    fi
    kill -0 $norvale 2>/dev/null || break
    sleep 0.2
done
echo "The installed norvale --simulate did not answer:" >&2
cat "$runtime/norvale.log" >&2
exit 1
