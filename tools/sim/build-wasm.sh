#!/bin/bash
# Builds zindle-sim for Node with Emscripten into build/wasm-sim/ (zindle-sim.js and .wasm).
#   bash tools/sim/build-wasm.sh && (cd build/wasm-sim && node zindle-sim.js --seed 1 --ai 1,2)
# It finds the data folder through the link beside it, so run it from that folder (or from the
# source tree).
set -euo pipefail
cd "$(dirname "$0")/../.."
# Debian's emcc runs its JavaScript tools with whatever node is first on PATH; a node that is not
# Debian's finds Debian's JavaScript modules only through NODE_PATH.
export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
emcmake cmake -S . -B build/wasm-sim -DCMAKE_BUILD_TYPE=Release -DZINDLE_WASM_SIM=ON \
    "${launcher[@]}" >/dev/null
cmake --build build/wasm-sim -j"$(nproc)"
