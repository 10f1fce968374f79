#!/bin/bash
# Measures what the design promises about speed, in a Release build: the cost of a step and
# of a frame's drawing (zindle-bench), two hours of four computer players (zindle-sim), and the
# real game in a virtual display (Xvfb): start-up to the first frame, processor use, wake-ups
# and memory on the idle title screen at 480 by 320 and at 1920 by 1080 (full screen, openbox),
# a minute of frame pacing with a 200 ms stall, and the peak heap (heaptrack).
# Usage: scripts/measure.sh [build folder, default build/release] [--quick]
#   --quick: fewer runs and a 10 s pacing window, to try the script; not the figures to quote.
set -euo pipefail
cd "$(dirname "$0")/.."
build="build/release"
quick=()
for arg in "$@"; do
    case "$arg" in
    --quick) quick=(--quick) ;;
    *) build="$arg" ;;
    esac
done
bash scripts/setup-debian.sh play measure
# The benchmarks on; a new build folder leaves the tests out, so that measuring needs no test set.
options=(-DZINDLE_BENCH=ON)
[[ -f "$build/CMakeCache.txt" ]] || options+=(-DZINDLE_TESTS=OFF)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release "${options[@]}" >/dev/null
cmake --build "$build" --target zindle zindle-sim zindle-bench -j2 >/dev/null

echo "== Benchmarks (budgetPct: processor time in percent of 1/300 s a step, 1/60 s a frame)"
"$build/zindle-bench" --benchmark_min_time=0.5

echo "== Two hours of game time, four computer players"
"$build/zindle-sim" --seconds 7200 --ai 1,2,3,4 --seed 1

# One JSON line per figure with its target, then a summary. Sound goes to SDL's disk driver, so
# the mixer runs as it would on a sound card. Xvfb has no graphics card: the game picks SDL's
# software renderer there by itself (SDL_RENDER_DRIVER=opengl forces Mesa's rasteriser instead).
echo "== The real game: start-up, idle title screen, memory, frame pacing, heap"
python3 scripts/measure_game.py "$build/zindle" "${quick[@]}"
