"""Full screen on a bare X server (no window manager, as in an arcade cabinet): the window
grows to the whole 1280 by 720 screen and the picture fills it, enlarged sharply (twice, then
smoothly to the rest); ALT+ENTER gives the 480 by 320 window back and takes it full again."""

from e2e import Game, check, log, main, wait_for

SCREEN = (1280, 720)
PATIENCE = 10  # s
BLACK = (0, 0, 0)
# The title's controls plate (rows 283 to 316 of the picture, dark navy inside its rim) lies at
# the bottom of the screen only when the picture fills the whole screen.
PLATE = (0x22, 0x20, 0x34)
PLATE_POINT = (640, 297 * 720 // 320)


def bare_x(display, executable):
    game = Game(display, executable)
    try:
        size = wait_for(lambda: (lambda s: s if s == SCREEN else None)(game.window_size()),
                        PATIENCE)
        check(size == SCREEN, "the window is %dx%d, not the screen's size" % game.window_size())

        def filled():
            picture = display.capture()
            black = picture.count(BLACK) / (picture.width * picture.height)
            return (black, picture.pixel(*PLATE_POINT)) if black < 0.01 and \
                picture.pixel(*PLATE_POINT) == PLATE else None
        shown = wait_for(filled, PATIENCE)
        check(shown, "the picture does not fill the screen")
        log("black share %.4f, plate at the foot of the screen" % shown[0])

        game.key("alt+Return")
        check(wait_for(lambda: game.window_size() == (480, 320), PATIENCE),
              "ALT+ENTER left the window at %dx%d" % game.window_size())
        game.key("alt+Return")
        check(wait_for(lambda: game.window_size() == SCREEN, PATIENCE),
              "full screen again left the window at %dx%d" % game.window_size())
        check(wait_for(filled, PATIENCE), "the picture does not fill the screen again")
    finally:
        game.close()


if __name__ == "__main__":
    main(bare_x, SCREEN)
