"""F12 in the real game under a virtual display. A match recorded headless (seed 12, two
computer players, whose first win falls at 16.5 s) plays in the game's window four times
faster; F12 after the win saves the last ten seconds as a GIF beside the replays, rendered in a
child process while the window goes on, and the game names the file. The GIF is byte for byte
the clip zindle-shot makes of the same replay and stretch, so its frames are the match's. On
the title of a live game, before anybody joined, F12 saves nothing."""

import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

from e2e import Failure, Game, check, log, run, wait_for

WIN_SEED = 12
RECORD_SECONDS = 40
WIN_AT = 16.5  # s of match time
TEXT_TOP = 4  # px: the line's outline, centred along the top of the 480x320 picture
OUTLINE = (0x22, 0x20, 0x34)
PATIENCE = 90  # s for the clip to be rendered on a loaded machine


def record(sim, folder):
    path = os.path.join(folder, "win.replay")
    result = subprocess.run([sim, "--seconds", str(RECORD_SECONDS), "--ai", "1,2", "--seed",
                             str(WIN_SEED), "--record", path], capture_output=True, text=True,
                            timeout=120)
    check(result.returncode == 0 and '"wins":1' in result.stdout,
          "the recording has no win: %s %s" % (result.stdout[-200:], result.stderr))
    return path


def clip_from_the_viewer(display, executable, replay, data_home):
    game = Game(display, executable, ["--mute", "--replay", replay],
                extra_env={"XDG_DATA_HOME": data_home})
    folder = os.path.join(data_home, "zindle-vs-pellorin", "replays")
    try:
        game.key("f")  # four times faster: the win comes in about five seconds
        moment = re.compile(r"Clip (.*\.gif): the match from ([0-9.]+) s to ([0-9.]+) s")

        # Past the win, so that the clip holds it.
        wait_for(lambda: False, (WIN_AT + 4) / 4)
        game.key("F12")
        found = wait_for(lambda: moment.search(game.output()), 10)
        check(found, "F12 started no clip:\n%s" % game.output())
        # The line says so at the top of the screen, white on a dark outline over the sky.
        line = display.capture()
        dark = sum(1 for y in range(TEXT_TOP, TEXT_TOP + 9) for x in range(60, 420)
                   if line.pixel(x, y) == OUTLINE)
        check(dark > 150, "no line at the top of the screen (%d outline pixels)" % dark)
        gif, start, end = found.group(1), float(found.group(2)), float(found.group(3))
        check(os.path.dirname(gif) == folder, "the clip is not beside the replays: %s" % gif)
        check(abs(end - start - 10) < 1e-6 and WIN_AT < end < RECORD_SECONDS,
              "not the last ten seconds past the win: %s to %s" % (start, end))
        saved = wait_for(lambda: "%s: saved" % gif in game.output(), PATIENCE)
        check(saved, "the clip was not saved:\n%s" % game.output())
        check(game.proc.poll() is None, "the game did not go on while the clip was made")
        game.key("Escape", check=False)
        game.wait_exit(10)
        subprocess.run(["xdotool", "keyup", "Escape"], env=display.env(), timeout=10)
        return gif, start, end
    except Failure:
        log(game.output())
        raise
    finally:
        game.close()


def same_as_shot(shot, replay, gif, start, end, folder):
    again = os.path.join(folder, "again.gif")
    result = subprocess.run([shot, "--replay", replay, "--from", "%.2f" % start, "--to",
                             "%.2f" % end, "--scale", "2", "--out", again], capture_output=True,
                            text=True, timeout=300)
    check(result.returncode == 0, "zindle-shot failed: %s" % result.stderr)
    with open(gif, "rb") as a, open(again, "rb") as b:
        mine, theirs = a.read(), b.read()
    check(mine[:6] == b"GIF89a" and int.from_bytes(mine[6:8], "little") == 960,
          "the clip is not a 960-wide GIF: %r" % mine[:10])
    check(mine == theirs, "the clip (%d bytes) differs from zindle-shot's of the same stretch "
          "(%d bytes)" % (len(mine), len(theirs)))


def no_clip_before_a_match(display, executable, data_home):
    game = Game(display, executable, ["--mute"], extra_env={"XDG_DATA_HOME": data_home})
    try:
        time.sleep(1)
        game.key("F12")  # nobody has joined: there is no match to clip
        time.sleep(1)
        check(game.proc.poll() is None, "F12 ended the game:\n%s" % game.output())
        game.key("Escape", check=False)
        game.wait_exit(10)
        subprocess.run(["xdotool", "keyup", "Escape"], env=display.env(), timeout=10)
        gifs = glob.glob(os.path.join(data_home, "zindle-vs-pellorin", "replays", "*.gif"))
        check(not gifs and "Clip: not saved: no match has started" in game.output(),
              "F12 before any match made a clip: %s\n%s" % (gifs, game.output()))
    finally:
        game.close()


def session(display, executable):
    folder = os.path.dirname(executable)
    work = tempfile.mkdtemp(prefix="zindle-clip-e2e-")
    try:
        replay = record(os.path.join(folder, "zindle-sim"), work)
        gif, start, end = clip_from_the_viewer(display, executable, replay, work)
        same_as_shot(os.path.join(folder, "zindle-shot"), replay, gif, start, end, work)
        no_clip_before_a_match(display, executable, tempfile.mkdtemp(dir=work))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print("usage: %s PATH/TO/zindle" % sys.argv[0])
        sys.exit(2)
    sys.exit(run(session, sys.argv[1]))
