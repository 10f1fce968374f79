"""The window: titled "Zindle vs Pellorin", 480 by 320 on a screen of that size (no window
manager, so full screen leaves it in place), and the sky-blue 0x85E3FF playfield."""

import time

from e2e import SKY, WINDOW_TITLE, Game, check, log, main, wait_for

PATIENCE = 10  # s


def window(display, executable):
    game = Game(display, executable)
    try:
        check(game.window_name() == WINDOW_TITLE,
              "the window is named '%s'" % game.window_name())
        size = game.window_size()
        check(size == (480, 320), "the window is %dx%d" % size)
        game.key("space")
        sky = wait_for(lambda: (lambda n: n if n > 1000 else 0)(display.capture().count(SKY)),
                       PATIENCE)
        log("sky-blue pixels on the playfield: %d" % sky)
        check(sky > 1000, "no 0x85E3FF background on the playfield")
        game.key("Escape")
        time.sleep(2.5)  # the title closes in two seconds; ESC then ends the program
        game.key("Escape", check=False)  # the window may be gone before the key is released
        # Should the title not be fully shown yet, ESC once more until the program ends.
        status = wait_for(lambda: game.wait_exit(0.5) is not None or
                          game.key("Escape", check=False), PATIENCE)
        check(status and game.proc.returncode == 0,
              "the game did not end cleanly (%s):\n%s" % (game.proc.returncode, game.output()))
    finally:
        game.close()


if __name__ == "__main__":
    main(window)
