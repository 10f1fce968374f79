"""Runs zindle-sim and checks its report against limits.

usage: sim_check.py ZINDLE_SIM [--max-wall S] [--max-cpu S] [--min-wins N] [--min-catches N]
                    [--max-rss-kb K] [--max-growth-kb K] [--max-particles N]
                    -- SIM_ARGS..."""

import argparse
import json
import subprocess
import sys


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("sim")
    parser.add_argument("--max-wall", type=float)
    parser.add_argument("--max-cpu", type=float,
                        help="limit on processor seconds (wall time on a busy machine is longer)")
    parser.add_argument("--min-wins", type=int, default=0)
    parser.add_argument("--min-catches", type=int, default=0)
    parser.add_argument("--max-rss-kb", type=int)
    parser.add_argument("--max-particles", type=int)
    parser.add_argument("--max-growth-kb", type=int,
                        help="limit on resident memory gained from half-way to the end")
    argv = sys.argv[1:]
    split = argv.index("--") if "--" in argv else len(argv)
    args = parser.parse_args(argv[:split])
    sim_args = argv[split + 1:]

    done = subprocess.run([args.sim] + sim_args, capture_output=True, text=True)
    sys.stderr.write(done.stderr)
    if done.returncode != 0:
        print("FAIL: zindle-sim ended with status %d" % done.returncode)
        return 1
    report = json.loads(done.stdout.strip().splitlines()[-1])
    print(json.dumps(report, indent=1))

    problems = []
    if report["steps"] < 4 * report["frames"]:
        problems.append("only %d steps in %d frames" % (report["steps"], report["frames"]))
    if args.max_wall is not None and report["wallSeconds"] > args.max_wall:
        problems.append("took %.1f s of wall time (limit %.1f)" % (report["wallSeconds"],
                                                                  args.max_wall))
    if args.max_cpu is not None and report["cpuSeconds"] > args.max_cpu:
        problems.append("used %.1f s of processor time (limit %.1f)" % (report["cpuSeconds"],
                                                                       args.max_cpu))
    if report["wins"] < args.min_wins:
        problems.append("%d wins (at least %d expected)" % (report["wins"], args.min_wins))
    if report["catches"] < args.min_catches:
        problems.append("%d catches (at least %d expected)" % (report["catches"],
                                                               args.min_catches))
    if args.max_rss_kb is not None and report["peakRssKb"] > args.max_rss_kb:
        problems.append("peak memory %d KiB (limit %d)" % (report["peakRssKb"], args.max_rss_kb))
    growth = report["rssKbEnd"] - report["rssKbHalfway"]
    if args.max_growth_kb is not None and growth > args.max_growth_kb:
        problems.append("memory grew by %d KiB in the second half (limit %d)"
                        % (growth, args.max_growth_kb))
    if args.max_particles is not None:
        for key in ("maxTrails", "maxSparkles"):
            if report[key] > args.max_particles:
                problems.append("%s reached %d (limit %d)" % (key, report[key],
                                                              args.max_particles))
    for problem in problems:
        print("FAIL: " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
