"""F12 in a live match under a virtual display: two computer players play a few seconds, then
F12 saves the match so far from a copy of the recording being made. The copy is taken before
the key itself is recorded, so it is a whole replay and the clip renders."""

import glob
import os
import re
import sys
import time

from e2e import Game, check, log, main, wait_for

SEED = 12
PLAY_SECONDS = 4  # of live play before F12
RENDER_PATIENCE = 90  # s for the clip to be rendered


def session(display, executable):
    game = Game(display, executable, ["--mute", "--windowed", "--seed", str(SEED)])
    try:
        time.sleep(0.5)
        game.key("ctrl+1")
        game.key("ctrl+2")
        time.sleep(PLAY_SECONDS)
        game.key("F12")
        started = re.compile(r"Clip (.*\.gif): the match from ([0-9.]+) s to ([0-9.]+) s")
        refused = re.compile(r"Clip.*: not saved: (.*)")
        found = wait_for(lambda: started.search(game.output()) or refused.search(game.output()),
                         10)
        check(found and found.re is started, "F12 in a live match saved no clip:\n%s"
              % game.output())
        gif = found.group(1)
        check(float(found.group(2)) == 0 and 0 < float(found.group(3)) < PLAY_SECONDS + 10,
              "not the match so far: %s" % found.group(0))
        saved = wait_for(lambda: re.search(re.escape(gif) + r": (saved|not saved.*)",
                                           game.output()), RENDER_PATIENCE)
        check(saved and saved.group(1) == "saved", "the clip was not saved:\n%s" % game.output())
        with open(gif, "rb") as f:
            check(f.read(6) == b"GIF89a", "the clip is no GIF")
        folder = os.path.join(game.dir, "zindle-vs-pellorin", "replays")
        check(glob.glob(os.path.join(folder, "*.replay")), "the match was not recorded")
        check(game.proc.poll() is None, "the game did not go on while the clip was made")
    except Exception:
        log(game.output())
        raise
    finally:
        game.close()


if __name__ == "__main__":
    main(session)
