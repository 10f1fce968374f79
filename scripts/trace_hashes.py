#!/usr/bin/env python3
"""Prints the SHA-256 of zindle-sim's step trace for a fixed set of seeds and scripts.

Play must not change by accident: record these before a change and compare after it.

usage: trace_hashes.py [--quick] SIM_COMMAND...
  SIM_COMMAND   how to start zindle-sim, e.g. build/release/zindle-sim
                (or "node build/wasm/zindle-sim.js" for another build of it)
  --quick       only the 60-second runs and the scripts (skips the 120-second win)

One line per run: NAME SHA256."""

import hashlib
import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DATA = os.path.join(ROOT, "tests", "tools", "data")

# (name, arguments): four computer players on several seeds, one long enough for a win,
# scripted keys and pads, and a script on given random numbers.
RUNS = [
    ("ai-seed1-60s", ["--seconds", "60", "--ai", "1,2,3,4", "--seed", "1"]),
    ("ai-seed2-60s", ["--seconds", "60", "--ai", "1,2,3,4", "--seed", "2"]),
    ("ai-seed5-60s", ["--seconds", "60", "--ai", "1,2,3,4", "--seed", "5"]),
    ("ai-seed11-120s", ["--seconds", "120", "--ai", "1,2,3,4", "--seed", "11"]),
    ("script-join-seed3", ["--seconds", "20", "--seed", "3",
                           "--script", os.path.join(DATA, "join_and_steer.txt")]),
    ("script-join-ai-seed5", ["--seconds", "30", "--seed", "5", "--ai", "3",
                              "--script", os.path.join(DATA, "join_and_steer.txt")]),
    ("script-escape-seed5", ["--seconds", "20", "--seed", "5",
                             "--script", os.path.join(DATA, "escape_twice.txt")]),
    ("script-given-random", ["--seconds", "30", "--random", "@RANDOM@",
                             "--script", os.path.join(DATA, "join_and_steer.txt")]),
]
LONG_RUNS = {"ai-seed11-120s"}


def given_random_numbers(path):
    # A fixed, spread-out sequence that needs no generator: the fractional parts of n * phi.
    with open(path, "w") as f:
        for n in range(1, 4001):
            f.write("%.17g\n" % ((n * 0.6180339887498949) % 1.0))


def trace_hashes(sim, names=None, quick=False, cwd=None):
    """Yields (name, SHA-256 or None, problem) for each run, or for the runs named in names.
    sim is the command as a list; cwd is where it runs (a WebAssembly build finds its data there)."""
    with tempfile.TemporaryDirectory() as tmp:
        random_path = os.path.join(tmp, "random.txt")
        given_random_numbers(random_path)
        for name, run_args in RUNS:
            if (quick and name in LONG_RUNS) or (names is not None and name not in names):
                continue
            trace = os.path.join(tmp, name + ".jsonl")
            cmd = sim + [a.replace("@RANDOM@", random_path) for a in run_args] + ["--trace", trace]
            done = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                                  cwd=cwd)
            if done.returncode != 0:
                yield name, None, "status %d: %s" % (done.returncode, done.stderr.strip())
                continue
            with open(trace, "rb") as f:
                yield name, hashlib.sha256(f.read()).hexdigest(), None
            os.remove(trace)


def main():
    args = sys.argv[1:]
    quick = "--quick" in args
    sim = [a for a in args if a != "--quick"]
    if not sim:
        print(__doc__, file=sys.stderr)
        return 2
    for name, digest, problem in trace_hashes(sim, quick=quick):
        if problem:
            print("%s FAILED (%s)" % (name, problem))
            return 1
        print(name, digest, flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
