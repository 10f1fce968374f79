#!/usr/bin/env python3
"""Holds the step traces of zindle-sim builds against the recorded hashes, and against each other.

usage: trace_agreement.py EXPECTED NAME=SIM [NAME=SIM ...]
  EXPECTED  lines "RUN SHA256" (trace_hashes.py's output for the runs to check)
  NAME=SIM  a build and how to start it, e.g. "wasm=node build/wasm-sim/zindle-sim.js"; the
            command runs in the folder of its last word, where a WebAssembly build finds its data

Every build must give every recorded hash: the same seed, input and frame cadence make the same
match whatever compiled it. Fails with one line per disagreement."""

import os
import shlex
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from trace_hashes import trace_hashes  # noqa: E402


def read_expected(path):
    expected = {}
    with open(path) as f:
        for line in f:
            line = line.strip()
            if line and not line.startswith("#"):
                name, digest = line.split()
                expected[name] = digest
    return expected


def main():
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    expected = read_expected(sys.argv[1])
    results = {}
    failures = []
    for build_arg in sys.argv[2:]:
        build, _, command = build_arg.partition("=")
        sim = shlex.split(command)
        program = sim[-1] = os.path.abspath(sim[-1])
        if not os.path.isfile(program):
            failures.append("%s: %s is missing (bash scripts/test.sh builds it)" % (build, program))
            continue
        folder = os.path.dirname(os.path.abspath(program))
        results[build] = {}
        for name, digest, problem in trace_hashes(sim, names=set(expected), cwd=folder):
            results[build][name] = digest
            if problem:
                failures.append("%s %s: failed, %s" % (build, name, problem))
            elif digest != expected[name]:
                failures.append("%s %s: %s, recorded %s" % (build, name, digest, expected[name]))
            print("%-8s %-20s %s" % (build, name, digest), flush=True)
    # Directly, too: a recorded hash that is stale would otherwise hide that builds still agree.
    builds = list(results)
    for other in builds[1:]:
        for name in expected:
            if results[builds[0]].get(name) != results[other].get(name):
                failures.append("%s and %s differ on %s" % (builds[0], other, name))
    for failure in failures:
        print("FAIL " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
