#!/usr/bin/env bash
# Installs the Debian 12 packages Norvale needs. "build" is enough to build and run;
# "test" adds what the test suite, the end-to-end harness and the package checks use (what CI
# installs on a fresh machine); "bench" adds the benchmark library for bench/ on top of that.
set -euo pipefail

what=${1:-build}

build_pkgs=(
    build-essential cmake ninja-build ccache pkg-config
    qt6-base-dev qt6-base-private-dev qt6-svg-dev libqt6svg6 qt6-image-formats-plugins
    qt6-qpa-plugins qt6-translations-l10n libgl-dev libxkbcommon-dev
    libx11-dev libx11-xcb-dev libxcb1-dev libxcb-xtest0-dev libxcb-xinput-dev libxcb-xfixes0-dev
    libsimdjson-dev libpulse-dev libsodium-dev libplist-dev
    fonts-noto-cjk fonts-symbola
    xvfb
    librsvg2-bin dpkg-dev
)
test_pkgs=(
    x11-xserver-utils x11-utils xclip xdotool openbox trayer x11-apps imagemagick
    dbus dbus-x11 xinput util-linux jq pulseaudio pulseaudio-utils
    clang libclang-rt-dev llvm
    desktop-file-utils appstream
)

bench_pkgs=(
    libbenchmark-dev
)

pkgs=("${build_pkgs[@]}")
if [ "$what" = test ] || [ "$what" = bench ]; then
    pkgs+=("${test_pkgs[@]}")
fi
if [ "$what" = bench ]; then
    pkgs+=("${bench_pkgs[@]}")
fi

missing=()
for p in "${pkgs[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=
if [ "$(id -u)" -ne 0 ]; then
    sudo=sudo
fi
echo "Installing: ${missing[*]}" >&2
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
