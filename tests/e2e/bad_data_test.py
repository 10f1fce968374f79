"""Broken data files: the real game is started from a temporary copy of its folder in which one
asset is missing, empty, truncated or garbage. Each run must either stop at once with a
non-zero status and a message naming the file, or play on (a warning is allowed) until it is
asked to quit. A crash, a sanitizer report or a hang fails the test.

usage: bad_data_test.py PATH/TO/zindle PATH/TO/assets ASSET [ASSET...]
(ASSET relative to the assets folder, e.g. gametiles.png)"""

import concurrent.futures
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time

# s: a run still going after this long is taken to be playing on. Sanitizer builds start
# slower; ZINDLE_PLAY_ON_SECONDS lengthens the wait there.
PLAY_ON_SECONDS = float(os.environ.get("ZINDLE_PLAY_ON_SECONDS", "3"))
QUIT_TIMEOUT = 10  # s after SIGTERM
CRASH_MARKERS = ("AddressSanitizer", "runtime error:", "terminate called", "Segmentation fault")


def break_file(path, mode):
    data = open(path, "rb").read()
    if mode == "missing":
        os.remove(path)
        return
    if mode == "empty":
        data = b""
    elif mode == "truncated":
        data = data[:len(data) // 2]
    elif mode == "garbage":
        rng = random.Random(os.path.basename(path))
        data = bytes(rng.getrandbits(8) for _ in range(max(len(data), 64)))
    with open(path, "wb") as f:
        f.write(data)


def run_case(executable, assets, asset, mode):
    """Returns None when the case behaves, otherwise the problem."""
    work = tempfile.mkdtemp(prefix="zindle-bad-data-")
    try:
        game = os.path.join(work, "zindle")
        shutil.copy2(executable, game)
        shutil.copytree(os.path.realpath(assets), os.path.join(work, "assets"))
        break_file(os.path.join(work, "assets", asset), mode)
        env = dict(os.environ)
        env.pop("DISPLAY", None)  # no display: a fatal error goes to standard error, no box
        env.update(SDL_VIDEODRIVER="dummy", SDL_AUDIODRIVER="dummy",
                   ASAN_OPTIONS="detect_leaks=0")
        proc = subprocess.Popen([game], cwd=work, env=env, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT)
        played_on = False
        try:
            status = proc.wait(timeout=PLAY_ON_SECONDS)
        except subprocess.TimeoutExpired:
            played_on = True
            proc.send_signal(signal.SIGTERM)
            try:
                status = proc.wait(timeout=QUIT_TIMEOUT)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
                return "did not quit within %d s of SIGTERM" % QUIT_TIMEOUT
        output = proc.stdout.read().decode(errors="replace")
        label = "%s %s" % (mode, asset)
        for marker in CRASH_MARKERS:
            if marker in output:
                return "%s: '%s' in its output:\n%s" % (label, marker, output)
        if played_on:
            if status not in (0, -signal.SIGTERM):
                return "%s: ended with %s after SIGTERM:\n%s" % (label, status, output)
            warnings = [line for line in output.splitlines() if line.strip()]
            print("ok   %-9s %-24s plays on (%d output lines%s)"
                  % (mode, asset, len(warnings), ": " + warnings[0] if warnings else ""),
                  flush=True)
            return None
        if status == 0:
            return "%s: ended with status 0 on its own:\n%s" % (label, output)
        if status < 0:
            return "%s: killed by signal %d:\n%s" % (label, -status, output)
        if os.path.basename(asset) not in output:
            return "%s: ended with status %d without naming the file:\n%s" % (label, status, output)
        first = next(line for line in output.splitlines() if os.path.basename(asset) in line)
        print("ok   %-9s %-24s stops: %s" % (mode, asset, first.strip()), flush=True)
        return None
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    if len(sys.argv) < 4:
        print(__doc__)
        return 2
    executable, assets, names = sys.argv[1], sys.argv[2], sys.argv[3:]
    cases = [(name, mode) for name in names for mode in ("missing", "empty", "truncated",
                                                          "garbage")]
    with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
        problems = [p for p in pool.map(lambda c: run_case(executable, assets, *c), cases) if p]
    for problem in problems:
        print("FAIL " + problem, flush=True)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
