#!/bin/bash
# Installs what a fresh Debian 12 machine lacks for the purposes named, each a set of packages:
#   play     the compiler, CMake and the libraries the game links (SDL2, libpng, Xlib, giflib, zlib,
#            Boost's header-only Asio and Beast for the relay, libqrencode for a room's QR code)
#   web      the browser build: Emscripten and the image decoder it compiles in
#   test     the test and benchmark frameworks, clang's libFuzzer, the virtual display and the
#            tools the end-to-end tests drive, Chromium with its driver for the page's tests, and
#            HAProxy for the test of relays side by side, zbar-tools and xclip to read back a room's
#            QR code and copied link, systemd-analyze for the relay's unit, and ccache, so that
#            running the suite again recompiles only what changed
#   package  what a whole build, installing and packaging need besides play: the asset generator's
#            MP3 encoder, and the tools that build and check the package (the suite's -L desktop)
#   measure  what scripts/measure.sh runs besides the game: the benchmarks, a virtual display,
#            openbox and heaptrack
# usage: setup-debian.sh SET...   (play.sh: play; web.sh: web; test.sh: play web test package;
#                                  measure.sh: play measure)
# Safe to run again: apt-get is asked only for what is missing, and not at all when nothing is.
set -euo pipefail

declare -A SETS=(
    [play]="build-essential cmake pkg-config
            libsdl2-dev libsdl2-image-dev libsdl2-mixer-dev libpng-dev libx11-dev
            libgif-dev zlib1g-dev libboost-dev libqrencode-dev"
    [web]="cmake make emscripten libstb-dev nodejs python3 brotli"
    [test]="libgtest-dev libgmock-dev libbenchmark-dev libmp3lame-dev
            clang libclang-rt-14-dev
            xvfb xauth xdotool x11-utils openbox imagemagick sox python3
            chromium chromium-driver python3-selenium haproxy zbar-tools xclip ccache systemd"
    [package]="libmp3lame-dev desktop-file-utils appstream dpkg-dev lintian"
    [measure]="libbenchmark-dev xvfb xauth openbox python3 procps heaptrack"
)

if (($# == 0)); then
    echo "usage: setup-debian.sh SET... (sets: ${!SETS[*]})" >&2
    exit 2
fi

wanted=()
for set in "$@"; do
    if [[ -z "${SETS[$set]+x}" ]]; then
        echo "setup-debian.sh: no set named '$set' (sets: ${!SETS[*]})" >&2
        exit 2
    fi
    # shellcheck disable=SC2206 # a set is a list of words
    wanted+=(${SETS[$set]})
done

missing=()
for p in $(printf '%s\n' "${wanted[@]}" | sort -u); do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
    SUDO=""
    [[ $(id -u) -eq 0 ]] || SUDO="sudo"
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
