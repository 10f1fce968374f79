#!/bin/bash
# Sets up the machine, builds everything and runs the whole test suite: the Release build (with
# the web page in headless Chromium and the installed and packaged game), then the same suite
# under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh play web test package
jobs="$(nproc)"

# Tests and benchmarks on, also in a build folder that the play command configured without them.
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DZINDLE_TESTS=ON -DZINDLE_BENCH=ON >/dev/null
cmake --build build/release -j"$jobs"
# The web page, which the Release suite's browser tests load.
bash scripts/web.sh --build
# zindle-sim alone from Clang and for WebAssembly: the Release suite holds their traces against
# its own.
cmake -S . -B build/clang -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ -DZINDLE_TESTS=OFF -DZINDLE_BENCH=OFF >/dev/null
cmake --build build/clang -j"$jobs" --target zindle-sim
bash tools/sim/build-wasm.sh
ctest --test-dir build/release --output-on-failure -j"$jobs"

cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZINDLE_SANITIZE=ON >/dev/null
cmake --build build/sanitize -j"$jobs"
ctest --test-dir build/sanitize --output-on-failure -j"$jobs" -LE no-sanitize
