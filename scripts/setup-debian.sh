#!/bin/bash
# Installs what a fresh Debian 12 machine lacks to build, play and test the game, on the desktop
# and as a web page (Emscripten, and Chromium with its driver for the browser tests).
# Safe to run again: apt-get only installs what is missing.
set -euo pipefail

PACKAGES=(
    build-essential cmake pkg-config git
    libsdl2-dev libsdl2-image-dev libsdl2-mixer-dev libx11-dev
    libpng-dev libmp3lame-dev libgif-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev
    xvfb xauth xdotool x11-utils openbox imagemagick sox python3
    heaptrack
    emscripten libstb-dev chromium chromium-driver python3-selenium
    desktop-file-utils appstream dpkg-dev lintian
)

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
    SUDO=""
    [[ $(id -u) -eq 0 ]] || SUDO="sudo"
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
