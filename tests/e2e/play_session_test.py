"""A whole session with the real game in a virtual display: the title shows, SPACE brings a hero
in and opens the title, CTRL+2 adds a computer player, the picture moves as they play, ESC
returns to the title, ESC again ends the program with status 0, and there is sound."""

import time

from e2e import Failure, Game, SKY, check, log, main, not_silent

TITLE_OPENS = 0.67   # s: the title opens in two thirds of a second
TITLE_CLOSES = 2.0   # s: and closes in two
PANEL_2 = (120, 275, 240, 320)  # the second player's panel in the display strip
JOIN_BLINK = 120 / 140  # s: period of the join prompt's blink


def session(display, executable):
    game = Game(display, executable)
    try:
        time.sleep(1.0)
        title = display.capture()
        check(title.distinct_colours() > 8,
              "the title screen is blank (%d colours)" % title.distinct_colours())
        time.sleep(0.5)
        title_later = display.capture()

        audio_at_join = game.audio_size()
        game.key("space")
        time.sleep(TITLE_OPENS + 0.8)
        playing = display.capture()
        opened = playing.difference(title)
        log("title -> play: %.1f%% of pixels changed" % (100 * opened))
        check(opened > 0.2, "SPACE did not open the title (%.1f%% changed)" % (100 * opened))
        check(playing.count(SKY) > 1000, "the playfield shows no sky-blue background")

        # Player 2's panel blinks its join prompt until someone plays there: see both phases.
        prompts = []
        for _ in range(4):
            prompts.append(display.capture())
            time.sleep(JOIN_BLINK / 3)
        game.key("ctrl+2")
        time.sleep(1.0)
        joined = display.capture()
        change = min(joined.difference(p, PANEL_2) for p in prompts)
        log("player 2's panel after CTRL+2: %.1f%% changed" % (100 * change))
        check(change > 0.02, "CTRL+2 did not bring a computer player into panel 2")
        frames = []
        for _ in range(4):
            frames.append(display.capture())
            time.sleep(0.4)
        moving = min(a.difference(b) for a, b in zip(frames, frames[1:]))
        log("while playing, the least change between captures: %.2f%%" % (100 * moving))
        check(moving > 0.001, "the picture does not change while the heroes play")

        joined_audio = game.audio_since(audio_at_join)
        check(not_silent(joined_audio),
              "the recorded sound after a hero joined is silent (%d bytes)" % len(joined_audio))

        game.key("Escape")
        time.sleep(TITLE_CLOSES + 1.0)
        back = display.capture()
        still = title_later.difference(title)  # what the blinking prompt alone changes
        returned = back.difference(title)
        log("title blink: %.1f%%, back on the title vs first title: %.1f%%"
            % (100 * still, 100 * returned))
        check(returned < opened / 2, "ESC did not bring the title back")
        check(game.proc.poll() is None, "the first ESC ended the program")

        game.key("Escape")
        status = game.wait_exit(10)
        check(status is not None, "the second ESC did not end the program")
        check(status == 0, "the program ended with status %s:\n%s" % (status, game.output()))
    except Failure:
        log(game.output())
        raise
    finally:
        game.close()


if __name__ == "__main__":
    main(session)
