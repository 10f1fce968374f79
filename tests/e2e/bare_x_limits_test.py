"""Limits on a bare X server (no window manager), where the game acts on its window itself:
a burst of 200 ALT+ENTER presses neither stalls the frames nor delays ESC, and a window made
enormous from outside costs bounded memory, keeps being drawn and ends on SIGTERM at once."""

import os
import signal
import subprocess
import tempfile
import time

from e2e import Game, cap_address_space, check, log, main, wait_for

SCREEN = (1280, 720)
PATIENCE = 10  # s
EXIT_SECONDS = 2
PRESSES = 200
# s: the longest pause between two presented frames while the presses arrive; a switch costs
# at most a frame's work (a queue of them paused for seconds); on a shared machine a frame
# may still wait some hundred milliseconds for the processor.
LONGEST_PAUSE = 1.0
# Window sizes set from outside, in turn: the issue's, then the largest X allows.
HUGE_SIZES = ((16000, 16000), (32767, 32767), (32767, 1))
MAX_RSS_MB = 400
ADDRESS_SPACE_MB = 4096  # a hard stop, should memory follow the window again


def limit_address_space():
    cap_address_space(ADDRESS_SPACE_MB)


def presents(path):
    """Monotonic times of the presented frames so far."""
    try:
        with open(path) as f:
            return [float(line.split()[0]) for line in f if line.strip()]
    except OSError:
        return []


def start(display, executable, folder):
    pacing = os.path.join(folder, "pacing.log")
    if os.path.exists(pacing):
        os.remove(pacing)
    game = Game(display, executable, extra_env={"ZINDLE_PACING_LOG": pacing},
                limit=limit_address_space)
    check(wait_for(lambda: game.window_size() == SCREEN, PATIENCE),
          "the window is %dx%d, not full screen" % game.window_size())
    return game, pacing


def frames_come(pacing, at_least, within):
    """True when `at_least` more frames are presented within `within` seconds."""
    before = len(presents(pacing))
    return wait_for(lambda: len(presents(pacing)) - before >= at_least, within)


def many_switches(display, executable, folder):
    game, pacing = start(display, executable, folder)
    try:
        began = time.monotonic()
        game.xdotool("key", "--window", game.window, "--delay", "5",
                     *(["alt+Return"] * PRESSES))
        sent = time.monotonic()
        coming = frames_come(pacing, 10, PATIENCE)
        times = [began] + [t for t in presents(pacing) if t >= began] + [time.monotonic()]
        longest = max(b - a for a, b in zip(times, times[1:]))
        log("%d presses sent in %.2f s; %d frames since, longest pause %.3f s" %
            (PRESSES, sent - began, len(times) - 2, longest))
        check(coming, "no frames after %d ALT+ENTER presses" % PRESSES)
        check(longest < LONGEST_PAUSE, "the frames paused for %.2f s" % longest)
        # An even number of switches: full screen again.
        check(wait_for(lambda: game.window_size() == SCREEN, PATIENCE),
              "after the presses the window is %dx%d" % game.window_size())
        pressed = time.monotonic()
        game.key("Escape", check=False)
        status = game.wait_exit(EXIT_SECONDS)
        check(status is not None, "ESC did not end the game within %d s" % EXIT_SECONDS)
        log("ESC ended the game in %.2f s" % (time.monotonic() - pressed))
        # The game ended between the key's press and its release, so the server still holds
        # ESC down; the next game would take it as pressed when it gets the focus.
        subprocess.run(["xdotool", "keyup", "Escape"], env=display.env(), timeout=10)
    finally:
        game.close()


def huge_window(display, executable, folder):
    game, pacing = start(display, executable, folder)
    try:
        for width, height in HUGE_SIZES:
            game.xdotool("windowsize", game.window, str(width), str(height))
            # A picture of 8K's size is stretched on the processor: a few frames a second on
            # a busy machine, but they must come.
            came = frames_come(pacing, 10, PATIENCE)
            check(game.proc.poll() is None, "the game ended (status %s) in a %dx%d window:\n%s"
                  % (game.proc.returncode, width, height, game.output()))
            check(came, "no frames in a %dx%d window" % (width, height))
            peak = game.peak_memory_mb()
            log("window made %dx%d, now %dx%d; peak memory %.0f MB" %
                ((width, height) + game.window_size() + (peak,)))
            check(peak < MAX_RSS_MB, "peak memory %.0f MB in a huge window" % peak)
        stopped = time.monotonic()
        game.proc.send_signal(signal.SIGTERM)
        status = game.wait_exit(EXIT_SECONDS)
        check(status is not None, "SIGTERM did not end the game within %d s" % EXIT_SECONDS)
        log("SIGTERM ended the game in %.2f s" % (time.monotonic() - stopped))
    finally:
        game.close()


def bare_x_limits(display, executable):
    folder = tempfile.mkdtemp(prefix="zindle-bare-")
    try:
        many_switches(display, executable, folder)
        huge_window(display, executable, folder)
    finally:
        for entry in os.listdir(folder):
            os.remove(os.path.join(folder, entry))
        os.rmdir(folder)


if __name__ == "__main__":
    main(bare_x_limits, SCREEN)
