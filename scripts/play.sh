#!/bin/bash
# Installs what playing needs (the compiler, CMake, the game's libraries), builds the game in
# Release and starts it. A build folder the test command made keeps its tests; a new one is
# configured without them, so that playing never needs the test frameworks.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh play
options=()
[[ -f build/release/CMakeCache.txt ]] || options=(-DZINDLE_TESTS=OFF -DZINDLE_BENCH=OFF)
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release "${options[@]}" >/dev/null
cmake --build build/release --target zindle -j"$(nproc)"
exec build/release/zindle
