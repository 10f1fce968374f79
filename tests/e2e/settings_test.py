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


def keys(game, *names):
    for name in names:
        game.key(name)
        time.sleep(0.15)


def file_says(path, *settings):
    """Whether the file holds every "name = value" line given."""
    try:
        with open(path) as f:
            lines = set(line.strip() for line in f)
    except OSError:
        return False
    return all(s in lines for s in settings)


# The menu's first page: PLAY ONLINE, COMPUTER PLAYERS, REPLAYS, SAVE CLIP, SETTINGS, QUIT; the
# settings page: MUSIC, EFFECTS, FULL SCREEN, REDUCED MOTION, PLAYER NUMBERS, KEYS...
TO_SETTINGS = ("Tab", "Down", "Down", "Down", "Down", "Return")


def changed_in_the_menu(display, executable, config, steps, *expected):
    game = Game(display, executable, ARGS, extra_env={"XDG_CONFIG_HOME": config})
    try:
        time.sleep(0.5)
        keys(game, *steps)
        path = settings_file(config)
        check(wait_for(lambda: file_says(path, *expected), 5),
              "the file does not say %s:\n%s" % (expected, open(path).read()
                                                   if os.path.exists(path) else "(no file)"))
        check(game.proc.poll() is None, "the game stopped:\n%s" % game.output())
    except Exception:
        log(game.output())
        raise
    finally:
        game.close()


def session(display, executable):
    config = tempfile.mkdtemp(prefix="zindle-e2e-config-")
    try:
        hostile_file(display, executable, config)
        # Music down three steps, the players' numbers on, player 1's left key A.
        changed_in_the_menu(display, executable, config,
                            TO_SETTINGS + ("Left", "Left", "Left", "Down", "Down", "Down", "Down",
                                           "Return", "Down", "Return", "Return", "a"),
                            "music = 7", "high_contrast = yes", "player1_left = A")
        # After a restart the game starts from them: one step down is 6, the rest stays.
        changed_in_the_menu(display, executable, config, TO_SETTINGS + ("Left",),
                            "music = 6", "high_contrast = yes", "player1_left = A")
    finally:
        shutil.rmtree(config, ignore_errors=True)


if __name__ == "__main__":
    main(session)
