#!/usr/bin/env python3
"""Replays recorded by one zindle-sim build re-simulate to every checksum in every other.

usage: replay_agreement.py DATA_DIR NAME=SIM [NAME=SIM ...]
  DATA_DIR  tests/tools/data (the scripted match)
  NAME=SIM  a build and how to start it, e.g. "wasm=node build/wasm-sim/zindle-sim.js"; the
            command runs in the folder of its last word, where a WebAssembly build finds its data

Each build records the same matches; each recording is then re-simulated by every build, which
must agree with every checksum in it. Fails with one line per disagreement."""

import json
import os
import shlex
import subprocess
import sys
import tempfile

# Matches with a win in them: keys, a pad and computer players brought in by CTRL+digit, and
# four computer players given by option (seed 11's first win falls at 42.5 s).
MATCHES = [
    ("script-seed4",
     ["--seconds", "60", "--seed", "4", "--script", "{data}/four_players_replay.txt"]),
    ("ai-seed11", ["--seconds", "45", "--seed", "11", "--ai", "1,2,3,4"]),
]


def run(sim, args):
    folder = os.path.dirname(sim[-1])
    done = subprocess.run(sim + args, capture_output=True, text=True, timeout=120, cwd=folder)
    lines = done.stdout.strip().splitlines()
    return done, json.loads(lines[-1]) if done.returncode in (0, 1) and lines else None


def main():
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    data = os.path.abspath(sys.argv[1])
    builds = {}
    failures = []
    for build_arg in sys.argv[2:]:
        name, _, command = build_arg.partition("=")
        sim = shlex.split(command)
        sim[-1] = os.path.abspath(sim[-1])
        if not os.path.isfile(sim[-1]):
            failures.append("%s: %s is missing (bash scripts/test.sh builds it)" % (name, sim[-1]))
        else:
            builds[name] = sim
    with tempfile.TemporaryDirectory() as tmp:
        recordings = []
        for build, sim in builds.items():
            for match, args in MATCHES:
                path = os.path.join(tmp, "%s-%s.replay" % (build, match))
                done, report = run(sim, [a.format(data=data) for a in args] + ["--record", path])
                if done.returncode != 0 or not os.path.isfile(path):
                    failures.append("%s %s: recording failed: %s"
                                    % (build, match, done.stderr.strip()))
                elif report["wins"] < 1:
                    failures.append("%s %s: the match has no win" % (build, match))
                else:
                    recordings.append((build, match, path))
        for recorder, match, path in recordings:
            for build, sim in builds.items():
                done, report = run(sim, ["--replay", path])
                result = report and report.get("replay")
                line = "%-8s recorded by %-8s %-14s" % (build, recorder, match)
                if done.returncode != 0 or not result:
                    failures.append("%s: status %d, %s"
                                    % (line, done.returncode, done.stderr.strip()))
                elif result["checked"] != result["checksums"] or result["checksums"] < 40:
                    failures.append("%s: %d of %d checksums compared" %
                                    (line, result["checked"], result["checksums"]))
                else:
                    print("%s %d checksums agree" % (line, result["checked"]), flush=True)
    for failure in failures:
        print("FAIL " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
