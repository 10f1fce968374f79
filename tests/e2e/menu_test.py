"""The menu in the real game under a virtual display: TAB opens it over the title and ESC
closes it again; hosting a room from it shows a QR code that zbarimg reads as the link the game
printed, and "Copy link" puts that link on the X clipboard, read back with xclip. With
ZINDLE_MENU_FRAMES set to a folder, each screen is saved there as menu-NAME.png."""

import os
import re
import subprocess
import time

from e2e import Game, check, log, main, wait_for

PANEL = (0x3F, 0x3F, 0x74)  # the menu's panel
PANEL_PIXELS = 20000  # at least, of a 400-pixel-wide panel, beyond the title's own navy
FRAMES = os.environ.get("ZINDLE_MENU_FRAMES")


def panel_pixels(display):
    return display.capture().count(PANEL)


def save(display, name):
    if FRAMES:
        os.makedirs(FRAMES, exist_ok=True)
        subprocess.run(["import", "-display", display.name, "-window", "root",
                        os.path.join(FRAMES, "menu-%s.png" % name)], check=True, timeout=30)


def opens_and_closes(display, game):
    title = panel_pixels(display)
    game.key("Tab")
    check(wait_for(lambda: panel_pixels(display) > title + PANEL_PIXELS, 10),
          "TAB opened no menu")
    save(display, "main")
    game.key("Down")
    game.key("Return")  # COMPUTER PLAYERS
    time.sleep(0.5)
    save(display, "computer-players")
    game.key("Escape")
    game.key("Up")
    game.key("Return")  # PLAY ONLINE
    time.sleep(0.5)
    save(display, "play-online")
    game.key("Escape")
    game.key("Escape")
    check(wait_for(lambda: panel_pixels(display) < title + PANEL_PIXELS / 10, 10),
          "ESC did not close the menu")
    check(game.proc.poll() is None, "ESC closing the menu quit the game")


def hosts_and_copies(display, game):
    game.key("Tab")
    game.key("Return")  # PLAY ONLINE
    game.key("Return")  # HOST A ROOM
    printed = wait_for(lambda: re.search(r"zindle: room (\S+)", game.output()), 20)
    check(printed, "no room opened:\n%s" % game.output())
    link = printed.group(1)
    shot = os.path.join(game.dir, "room.png")

    def scanned():
        subprocess.run(["import", "-display", display.name, "-window", "root", shot],
                       check=True, timeout=30)
        found = subprocess.run(["zbarimg", "-q", "--raw", shot], capture_output=True,
                               text=True, timeout=30)
        return found.stdout.strip()

    read = wait_for(scanned, 10, interval=0.5)
    check(read == link, "the QR code reads %r, the game printed %r" % (read, link))
    save(display, "host-a-room")
    game.key("Return")  # COPY LINK
    time.sleep(0.5)
    copied = subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=display.env(),
                            capture_output=True, text=True, timeout=10).stdout
    check(copied == link, "the clipboard holds %r, not the link %r" % (copied, link))


def type_a_code(display, game):
    game.key("Tab")
    game.key("Return")  # PLAY ONLINE
    game.key("Down")
    game.key("Down")
    game.key("Return")  # TYPE A ROOM CODE
    for c in "2KJZ3":
        game.key(c)
    time.sleep(0.5)
    save(display, "type-a-room-code")
    game.key("Tab")


def session(display, executable):
    game = Game(display, executable, ["--mute", "--windowed"])
    try:
        time.sleep(0.5)
        opens_and_closes(display, game)
        type_a_code(display, game)
        hosts_and_copies(display, game)
    except Exception:
        log(game.output())
        raise
    finally:
        game.close()


if __name__ == "__main__":
    main(session)
