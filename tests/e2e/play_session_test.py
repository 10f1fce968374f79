"""A whole session with the real game in a virtual display: the title shows, SPACE brings a hero
in and opens the title, CTRL+2 adds a computer player, the picture moves as they play, ESC
returns to the title, ESC again ends the program with status 0, and there is sound."""

import time

from e2e import Failure, Game, SKY, check, log, main, not_silent, wait_for

PANEL_2 = (120, 275, 240, 320)  # the second player's panel in the display strip
JOIN_BLINK = 120 / 140  # s: period of the join prompt's blink
PATIENCE = 10  # s to wait for what a key should bring about (the game needs under 2.5 s)


def session(display, executable):
    game = Game(display, executable)
    try:
        title = wait_for(lambda: (lambda p: p if p.distinct_colours() > 8 else None)(
            display.capture()), PATIENCE)
        check(title is not None, "the title screen stays blank")
        time.sleep(0.5)
        title_later = display.capture()

        audio_at_join = game.audio_size()
        game.key("space")
        # The title opens in two thirds of a second.
        time.sleep(0.7)
        opened = wait_for(lambda: (lambda d: d if d > 0.5 else 0)(
            display.capture().difference(title)), PATIENCE)
        log("title -> play: %.1f%% of pixels changed" % (100 * opened))
        check(opened > 0.5, "SPACE did not open the title (%.1f%% changed)" % (100 * opened))
        check(display.capture().count(SKY) > 1000, "the playfield shows no sky-blue background")

        # Player 2's panel blinks its join prompt until someone plays there: see both phases.
        prompts = []
        for _ in range(4):
            prompts.append(display.capture())
            time.sleep(JOIN_BLINK / 3)
        game.key("ctrl+2")
        change = wait_for(lambda: (lambda c: c if c > 0.02 else 0)(
            min(display.capture().difference(p, PANEL_2) for p in prompts)), PATIENCE)
        log("player 2's panel after CTRL+2: %.1f%% changed" % (100 * change))
        check(change > 0.02, "CTRL+2 did not bring a computer player into panel 2")

        frames = []
        for _ in range(4):
            frames.append(display.capture())
            time.sleep(0.4)
        moving = min(a.difference(b) for a, b in zip(frames, frames[1:]))
        log("while playing, the least change between captures: %.2f%%" % (100 * moving))
        check(moving > 0.001, "the picture does not change while the heroes play")

        heard = wait_for(lambda: not_silent(game.audio_since(audio_at_join)), PATIENCE)
        check(heard, "the recorded sound after a hero joined is silent (%d bytes)"
              % len(game.audio_since(audio_at_join)))

        game.key("Escape")
        # The title closes in two seconds; only its blinking prompt differs from the first.
        time.sleep(2.0)
        blink = title_later.difference(title)
        returned = wait_for(lambda: (lambda d: d if d <= max(2 * blink, 0.05) else None)(
            display.capture().difference(title)), PATIENCE)
        log("title blink: %.1f%%, back on the title vs first title: %s"
            % (100 * blink, "%.1f%%" % (100 * returned) if returned is not None else "none"))
        check(returned is not None, "ESC did not bring the title back")
        check(game.proc.poll() is None, "the first ESC ended the program")

        game.key("Escape", check=False)  # the window may be gone before the key is released
        status = game.wait_exit(PATIENCE)
        check(status is not None, "the second ESC did not end the program")
        check(status == 0, "the program ended with status %s:\n%s" % (status, game.output()))
    except Failure:
        log(game.output())
        raise
    finally:
        game.close()


if __name__ == "__main__":
    main(session)
