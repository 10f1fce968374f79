#!/bin/bash
# Sets up the machine, builds the game in Release and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release --target zindle -j"$(nproc)"
exec build/release/zindle
