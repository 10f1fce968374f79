"""The command line: --help and --version answer without opening a window; anything unknown
is named on one line with the usage and status 2; --windowed --mute --seed 18 plays in a
window of a whole multiple of 480 by 320 (twice, on a 1280 by 800 screen) and makes no sound.
An answer that cannot be written (a full disk, a closed standard output) fails with a
non-zero status."""

import os
import subprocess
import time

from e2e import Display, Game, check, log, wait_for

PATIENCE = 10  # s
SCREEN = (1280, 800)


def answers(executable):
    for args in (["--help"], ["--version"]):
        run = subprocess.run([executable] + args, capture_output=True, text=True, timeout=10)
        check(run.returncode == 0 and run.stderr == "",
              "%s: status %d, stderr %r" % (args, run.returncode, run.stderr))
        log("%s: %s" % (args[0], run.stdout.splitlines()[0]))
    check("--windowed" in subprocess.run([executable, "--help"], capture_output=True,
                                         text=True).stdout, "--help names the options")
    # An answer that cannot be written is a failure: a full disk, a closed standard output.
    for args in (["--help"], ["--version"]):
        for where, stdout, closing in (("/dev/full", "/dev/full", None), ("closed", None, 1)):
            with open(stdout or os.devnull, "wb") as out:
                run = subprocess.run([executable] + args, stdout=out, stderr=subprocess.PIPE,
                                     timeout=10, preexec_fn=(lambda: os.close(closing))
                                     if closing else None)
            check(run.returncode != 0 and b"could not be written" in run.stderr,
                  "%s with standard output %s: status %d, stderr %r"
                  % (args[0], where, run.returncode, run.stderr))
    for args, named in ((["--mute", "--fulscreen"], "--fulscreen"), (["level2"], "level2"),
                        (["--seed", "-5"], "'-5'")):
        run = subprocess.run([executable] + args, capture_output=True, text=True, timeout=10)
        lines = run.stderr.splitlines()
        check(run.returncode == 2 and run.stdout == "",
              "%s: status %d, stdout %r" % (args, run.returncode, run.stdout))
        check(named in lines[0] and lines[1].startswith("Usage: zindle"),
              "%s: stderr %r" % (args, run.stderr))


def windowed_and_mute(display, executable):
    answers(executable)
    game = Game(display, executable, ["--windowed", "--mute", "--seed", "18"])
    try:
        size = wait_for(lambda: (lambda s: s if s == (960, 640) else None)(game.window_size()),
                        PATIENCE)
        check(size == (960, 640), "the window is %dx%d" % game.window_size())
        game.key("space")  # a hero joins with a laser sound, and the match music starts
        time.sleep(1.5)
        check(game.window_size() == (960, 640), "the window left its size")
        check(game.audio_size() == 0, "sound was written while muted")
        check(game.proc.poll() is None, "the game ended:\n" + game.output())
    finally:
        game.close()


if __name__ == "__main__":
    import sys
    display = Display(SCREEN)
    try:
        windowed_and_mute(display, sys.argv[1])
        log("PASS")
        status = 0
    except Exception as failure:  # a Failure, or a tool that did not answer
        log("FAIL: %s" % failure)
        status = 1
    finally:
        display.close()
    sys.exit(status)
