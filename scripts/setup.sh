#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian 12 packages that Tezra Net needs to build, test and run, skipping those
# already present, and makes the ru_RU.UTF-8 locale that the tests use. Run as root.
set -euo pipefail

packages=(
    cmake ninja-build ccache g++ clang libclang-rt-14-dev pkg-config
    qt6-base-dev qt6-svg-dev libxcb1-dev libxcb-xinerama0-dev libjpeg62-turbo-dev
    libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev libcli11-dev
    nginx-light python3 locales
    xvfb xauth xdotool imagemagick fonts-dejavu-core fonts-liberation2
    openbox x11-utils x11-xserver-utils x11-xkb-utils xserver-xorg-core
    xserver-xorg-video-dummy dpkg-dev lintian dbus-daemon at-spi2-core python3-pyatspi
    libsqlite3-dev chromium libxlsxwriter-dev libssl-dev openssl firefox-esr
    wmctrl xfwm4 marco mate-settings-daemon-common icewm fluxbox i3-wm
    libpugixml-dev libpng-dev libgif-dev unzip
)

# The collector's browser test drives Chromium with playwright-core under Node.js; a machine
# that already has node and npm, from whatever source, keeps them.
if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
    packages+=(nodejs npm)
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The tests prove that numbers keep "." as the decimal point on a Russian desktop.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf8$'; then
    sed -i 's/^# *ru_RU.UTF-8 UTF-8/ru_RU.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null
fi
