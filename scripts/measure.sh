#!/bin/bash
# Measures what the design promises about speed, in a Release build: the cost of a step and
# of a frame's drawing (zindle-bench), two hours of four computer players (zindle-sim), and the
# start-up time and idle processor use of the real game on its title screen (under Xvfb).
# Usage: scripts/measure.sh [build folder, default build/release]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/release}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target zindle zindle-sim zindle-bench -j"$(nproc)" >/dev/null

echo "== Benchmarks (budgetPct: processor time in percent of 1/300 s a step, 1/60 s a frame)"
"$build/zindle-bench" --benchmark_min_time=0.5

echo "== Two hours of game time, four computer players"
"$build/zindle-sim" --seconds 7200 --ai 1,2,3,4 --seed 1

# Xvfb has no graphics card: SDL's OpenGL renderer runs on Mesa's software rasteriser there,
# which is most of what the idle figure counts. The second run uses SDL's own software renderer.
echo "== Start-up and the idle title screen (default renderer, then SDL's software renderer)"
python3 scripts/measure_idle.py "$build/zindle" 10
SDL_RENDER_DRIVER=software python3 scripts/measure_idle.py "$build/zindle" 10
