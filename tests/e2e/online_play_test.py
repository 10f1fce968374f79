"""Two real games online on loopback, each in a virtual display of its own: `zindle --host`
prints its room's link, a second game joins it with `--join`, a keyboard player and a computer
player join on either side, and both games log the same checksum for every confirmed second of
the same round. ESC on the joiner takes it back to its title while the host plays on. Each
game's replay of the online match re-simulates in zindle-sim to every checksum."""

import json
import os
import re
import shutil
import socket
import subprocess
import tempfile
import time

from e2e import Display, Game, check, log, main_with_own_displays, wait_for
from online_log import LINK, agreeing, checksums

PATIENCE = 20  # s to wait for what should come within a couple of seconds
RECORDING = re.compile(r"Replay (.+): recording the online match")


def check_online_replay(executable, game, who):
    """The game's replay of the online match plays to every checksum it holds."""
    found = RECORDING.search(game.output())
    check(found, "the %s named no replay of the online match:\n%s" % (who, game.output()))
    sim = os.path.join(os.path.dirname(executable), "zindle-sim")
    result = subprocess.run([sim, "--replay", found.group(1)], capture_output=True, text=True,
                            timeout=60)
    check(result.returncode == 0, "the %s's replay: zindle-sim exited %d: %s"
          % (who, result.returncode, result.stderr))
    replay = json.loads(result.stdout)["replay"]
    log("the %s's replay of the online match: %s" % (who, replay))
    check(replay["finished"] and replay["checksums"] >= 3 and
          replay["checked"] == replay["checksums"], "not every checksum compared: %s" % replay)


def listening(port):
    """Whether something accepts connections on the loopback port."""
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.settimeout(1)
        return s.connect_ex(("127.0.0.1", port)) == 0


def bad_links(executable, display):
    """A link that is no link is one line and status 2 before any window; a relay nobody
    answers at is one line on the title, and the game plays on locally."""
    for link in ["nonsense", "http://127.0.0.1:9/", "ftp://127.0.0.1:9/#22TW3L7FBGLEP"]:
        done = subprocess.run([executable, "--join", link], capture_output=True, text=True,
                              timeout=30, env=display.env())
        lines = done.stderr.strip().splitlines()
        check(done.returncode == 2 and len(lines) == 1 and "room's link" in lines[0],
              "--join %s: status %d, %r" % (link, done.returncode, done.stderr))
    # Port 9 (discard) on loopback: nothing listens there in a test machine's namespace.
    game = Game(display, executable, ["--join", "http://127.0.0.1:9/#22TW3L7FBGLEP",
                                      "--windowed"])
    try:
        check(wait_for(lambda: "Could not join" in game.output(), PATIENCE),
              "an unreachable relay gave no reason:\n" + game.output())
        time.sleep(0.5)
        check(game.proc.poll() is None, "the game ended when its relay was unreachable")
    finally:
        game.close()


def online(executable):
    folder = tempfile.mkdtemp(prefix="zindle-online-")
    host_log = os.path.join(folder, "host.sums")
    joiner_log = os.path.join(folder, "joiner.sums")
    displays = [Display(), Display()]
    games = []
    try:
        bad_links(executable, displays[1])
        host = Game(displays[0], executable, ["--host", "--windowed"],
                    extra_env={"ZINDLE_CHECKSUM_LOG": host_log})
        games.append(host)
        found = wait_for(lambda: LINK.search(host.output()), PATIENCE)
        check(found, "the host printed no room link:\n" + host.output())
        log("room link: " + found.group(1))
        # The relay listens on every address; the test stays on loopback.
        link = "http://127.0.0.1:%s/#%s" % (found.group(2), found.group(3))
        joiner = Game(displays[1], executable, ["--join", link, "--windowed"],
                      extra_env={"ZINDLE_CHECKSUM_LOG": joiner_log})
        games.append(joiner)
        check(wait_for(lambda: "in room" in joiner.output(), PATIENCE),
              "the joiner did not get into the room:\n" + joiner.output())

        host.key("space")        # the host's first keyboard player
        time.sleep(0.5)
        joiner.key("ctrl+2")     # a computer player on the joiner's side
        time.sleep(0.5)
        joiner.key("e")          # and the joiner's second keyboard player
        for name in ["Left", "Right", "q", "w"] * 4:
            (host if name in ("Left", "Right") else joiner).xdotool(
                "keydown", "--window", (host if name in ("Left", "Right") else joiner).window,
                name)
            time.sleep(0.3)
            (host if name in ("Left", "Right") else joiner).xdotool(
                "keyup", "--window", (host if name in ("Left", "Right") else joiner).window, name)
        common = wait_for(lambda: (lambda n: n if n >= 5 else 0)(
            agreeing(checksums(host_log), checksums(joiner_log))), PATIENCE)
        log("confirmed seconds logged alike by both games: %d" % common)
        check(common >= 5, "fewer than 5 confirmed seconds in common (%d)" % common)

        joiner.key("Escape")
        check(wait_for(lambda: "left" in host.output(), PATIENCE),
              "the host did not see the joiner leave:\n" + host.output())
        before = len(checksums(host_log))
        time.sleep(2)
        check(host.proc.poll() is None, "the host ended when the joiner left")
        check(joiner.proc.poll() is None, "the joiner's game ended instead of returning to "
              "its title")
        grew = wait_for(lambda: len(checksums(host_log)) > before + 1, PATIENCE)
        check(grew, "the host stopped playing when the joiner left")
        log("host played on alone: %d more confirmed seconds" % (len(checksums(host_log)) - before))
        # ESC takes the host out of its room, a second ESC ends it from its title.
        # (the title takes a moment to close over the field before ESC quits from it)
        host.key("Escape")
        # The relay inside the host's game closes with the host's room, before the game ends.
        check(wait_for(lambda: not listening(int(found.group(2))), PATIENCE),
              "the host's relay still listens after the host left its room")
        check(host.proc.poll() is None, "the host's game ended on its first ESC")
        status = wait_for(lambda: host.key("Escape", check=False) or host.wait_exit(1), PATIENCE)
        check(status == 0, "the host did not end with status 0 (%s)" % status)
        check_online_replay(executable, joiner, "joiner")
        check_online_replay(executable, host, "host")
    except Exception:
        for game in games:
            log("--- output of %s:\n%s" % (" ".join(game.proc.args[1:2]), game.output()))
        raise
    finally:
        for game in games:
            game.close()
        for display in displays:
            display.close()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main_with_own_displays(online)
