"""A match recorded by the real game and checked: two players join with their keys and steer,
two computer players join with CTRL+3 and CTRL+4, ESC returns to the title, and the replay the
game wrote in its XDG data folder re-simulates to every checksum in zindle-sim. The same file
then plays in the game's window (SPACE holds the picture still, ESC ends), and a file that is
no replay is refused in one line with status 2."""

import glob
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

from e2e import Failure, Game, check, log, run, wait_for

PATIENCE = 10  # s to wait for what a key should bring about


def record_match(display, executable, data_home):
    os.environ["XDG_DATA_HOME"] = data_home  # the game's environment follows this one
    game = Game(display, executable, ["--mute"])
    try:
        time.sleep(0.5)
        for key in ["space", "Right", "e", "ctrl+3", "ctrl+4", "q", "Left", "w"]:
            game.key(key)
            time.sleep(0.4)
        time.sleep(6)
        game.key("Escape")
        # The title closes in two seconds; the replay ends once it is fully shown.
        folder = os.path.join(data_home, "zindle-vs-pellorin", "replays")
        time.sleep(3)
        game.key("Escape", check=False)  # the window may be gone before the key is released
        status = game.wait_exit(PATIENCE)
        # A game that ends on the key down leaves it held in the X server for the next window.
        subprocess.run(["xdotool", "keyup", "Escape"], env=display.env(), timeout=10)
        check(status == 0, "the game ended with status %s:\n%s" % (status, game.output()))
        files = glob.glob(os.path.join(folder, "*.replay"))
        check(len(files) == 1, "expected one replay in %s, found %s" % (folder, files))
        return files[0]
    except Failure:
        log(game.output())
        raise
    finally:
        game.close()
        del os.environ["XDG_DATA_HOME"]


def check_replay(sim, path):
    result = subprocess.run([sim, "--replay", path], capture_output=True, text=True, timeout=120)
    check(result.returncode == 0, "zindle-sim --replay exited %d: %s"
          % (result.returncode, result.stderr))
    replay = json.loads(result.stdout)["replay"]
    log("replay: %s" % replay)
    check(replay["finished"], "the replay does not reach the end of the match")
    check(replay["checksums"] >= 8 and replay["checked"] == replay["checksums"],
          "not every checksum was compared: %s" % replay)


def watch(display, executable, path):
    game = Game(display, executable, ["--mute", "--replay", path])
    try:
        time.sleep(1.5)
        game.key("space")
        time.sleep(0.3)
        held = display.capture()
        time.sleep(0.6)
        check(display.capture().difference(held) == 0, "SPACE did not pause the replay")
        game.key("space")
        moved = wait_for(lambda: display.capture().difference(held) > 0, PATIENCE)
        check(moved, "the replay did not go on after a second SPACE")
        game.key("Escape", check=False)  # the window may be gone before the key is released
        status = game.wait_exit(PATIENCE)
        subprocess.run(["xdotool", "keyup", "Escape"], env=display.env(), timeout=10)
        check(status == 0, "ESC did not end the replay (status %s):\n%s"
              % (status, game.output()))
    except Failure:
        log(game.output())
        raise
    finally:
        game.close()


def refuse(executable, folder):
    foreign = os.path.join(folder, "notes.replay")
    with open(foreign, "w") as f:
        f.write("not a replay\n")
    result = subprocess.run([executable, "--replay", foreign], capture_output=True, text=True,
                            timeout=30)
    lines = result.stderr.strip().splitlines()
    check(result.returncode == 2, "a foreign file gave status %d" % result.returncode)
    check(len(lines) == 1 and foreign in lines[0] and "not a replay" in lines[0],
          "a foreign file was not refused in one line: %r" % result.stderr)


def session(display, executable):
    sim = os.path.join(os.path.dirname(executable), "zindle-sim")
    data_home = tempfile.mkdtemp(prefix="zindle-replay-e2e-")
    try:
        path = record_match(display, executable, data_home)
        check_replay(sim, path)
        watch(display, executable, path)
        refuse(executable, data_home)
    finally:
        shutil.rmtree(data_home, ignore_errors=True)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print("usage: %s PATH/TO/zindle" % sys.argv[0])
        sys.exit(2)
    sys.exit(run(session, sys.argv[1]))
