"""The window: titled "Zindle vs Pellorin", 480 by 320 on a screen of that size (no window
manager, so full screen leaves it in place), and the sky-blue 0x85E3FF playfield."""

import time

from e2e import SKY, WINDOW_TITLE, Game, check, log, main


def window(display, executable):
    game = Game(display, executable)
    try:
        check(game.window_name() == WINDOW_TITLE,
              "the window is named '%s'" % game.window_name())
        size = game.window_size()
        check(size == (480, 320), "the window is %dx%d" % size)
        game.key("space")
        time.sleep(1.5)
        picture = display.capture()
        sky = picture.count(SKY)
        log("sky-blue pixels on the playfield: %d" % sky)
        check(sky > 1000, "no 0x85E3FF background on the playfield")
        game.key("Escape")
        time.sleep(2.8)
        game.key("Escape")
        check(game.wait_exit(10) == 0, "the game did not end cleanly:\n" + game.output())
    finally:
        game.close()


if __name__ == "__main__":
    main(window)
