#!/bin/bash
# Sets up the machine, builds everything and runs the whole test suite: the Release build (with
# the web page in headless Chromium and the installed and packaged game), then the same suite
# under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh play web test package
jobs="$(nproc)"
started=$SECONDS
phase() { echo "== $1 ($((SECONDS - started)) s in)"; }

# Compiles are cached between runs, also between clones: paths are hashed relative to the clone,
# so a second clone of the same commit compiles nothing again.
launcher=()
if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

# No layer includes one above it: a quick check that fails before anything is built.
phase "the include directions"
python3 scripts/check_includes.py

# Tests and benchmarks on, also in a build folder that the play command configured without them.
phase "the Release build"
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DZINDLE_TESTS=ON -DZINDLE_BENCH=ON \
    "${launcher[@]}" >/dev/null
cmake --build build/release -j"$jobs"
phase "the web page"
# The web page, which the Release suite's browser tests load.
bash scripts/web.sh --build
# zindle-sim alone from Clang and for WebAssembly: the Release suite holds their traces against
# its own.
cmake -S . -B build/clang -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ -DZINDLE_TESTS=OFF -DZINDLE_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build build/clang -j"$jobs" --target zindle-sim
bash tools/sim/build-wasm.sh
phase "the Release suite"
ctest --test-dir build/release --output-on-failure -j"$jobs"

phase "the sanitizer build"
# The benchmarks measure speed, which the sanitizers distort: the Release build runs them.
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZINDLE_SANITIZE=ON \
    -DZINDLE_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build build/sanitize -j"$jobs"
phase "the sanitizer suite"
ctest --test-dir build/sanitize --output-on-failure -j"$jobs" -LE no-sanitize
phase "all passed"
