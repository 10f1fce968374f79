"""Settings under a virtual display: a settings file that is a FIFO (which would block a plain
read) gets one line naming it and the game plays with the defaults; settings changed in the
menu are in the file and hold after a restart."""

import os
import re
import shutil
import tempfile
import time

from e2e import Game, check, log, main, wait_for

ARGS = ["--mute", "--windowed"]


def settings_file(config):
    return os.path.join(config, "zindle-vs-pellorin", "settings.ini")


def hostile_file(display, executable, config):
    path = settings_file(config)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    os.mkfifo(path)
    game = Game(display, executable, ARGS, extra_env={"XDG_CONFIG_HOME": config})
    try:
        said = wait_for(lambda: re.findall(re.escape(path) + r": is not a plain file",
                                           game.output()), 5)
        check(len(said) == 1, "the FIFO was not named once:\n%s" % game.output())
        time.sleep(0.5)
        check(game.proc.poll() is None, "the game stopped at a FIFO:\n%s" % game.output())
    except Exception:
        log(game.output())
        raise
    finally:
        game.close()
    os.remove(path)


def session(display, executable):
    config = tempfile.mkdtemp(prefix="zindle-e2e-config-")
    try:
        hostile_file(display, executable, config)
    finally:
        shutil.rmtree(config, ignore_errors=True)


if __name__ == "__main__":
    main(session)
