#!/usr/bin/python3
"""The web build in headless Chromium: the picture, the keys, the sound, a long match, a broken
data folder. Run by ctest (label "web") with the web build and zindle-shot:

    web_test.py --web build/web --shot build/release/zindle-shot [--sim build/release/zindle-sim]

Exits 77 (skipped) when there is no web build or no browser. ZINDLE_WEB_MATCH_SECONDS sets how
long the four computer players play (20 s unless told).
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from page_replays import check_replay, kept_replays  # noqa: E402 (found through the path above)

ARGS = None
SKIP = 77
TITLE_SIZE = (480, 320)
MATCH_SECONDS = float(os.environ.get("ZINDLE_WEB_MATCH_SECONDS", "20"))
GAME_MUSIC = "assets/Orbwright-Velvetdusk-08Brightloop(featuringQuietharbor).mp3"
MENU_MUSIC = "assets/Orbwright-Velvetdusk-16TakeThisOne.mp3"


def read_png_rgb(path):
    """The pixels of an 8-bit RGB PNG without interlacing (what zindle-shot writes), as bytes."""
    with open(path, "rb") as file:
        data = file.read()
    at, width, height, idat = 8, 0, 0, b""
    while at < len(data):
        length = int.from_bytes(data[at:at + 4], "big")
        kind = data[at + 4:at + 8]
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            width, height = int.from_bytes(body[0:4], "big"), int.from_bytes(body[4:8], "big")
            assert body[8] == 8 and body[9] == 2 and body[12] == 0, "8-bit RGB, not interlaced"
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    raw = zlib.decompress(idat)
    stride = width * 3
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            a = line[x - 3] if x >= 3 else 0
            b = previous[x]
            c = previous[x - 3] if x >= 3 else 0
            if kind == 1:
                line[x] = (line[x] + a) & 255
            elif kind == 2:
                line[x] = (line[x] + b) & 255
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        previous = line
    return width, height, b"".join(rows)


class Page:
    """The game's page in one browser."""

    def __init__(self, folder, width=480, height=320, script=None, query="", cut=()):
        from browser import Browser, Server
        self.server = Server(folder)
        self.server.httpd.cut_files.update(cut)  # bodies that stop halfway
        self.browser = Browser(width, height)
        if script:
            self.browser.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument",
                                                {"source": script})
        self.browser.driver.get(self.server.url + "index.html" + query)

    def js(self, source, *args):
        return self.browser.script(source, *args)

    def wait(self, condition, timeout=15, what="condition"):
        deadline = time.time() + timeout
        while time.time() < deadline:
            value = self.js("try { return (" + condition + "); } catch (e) { return null; }")
            if value:
                return value
            time.sleep(0.05)
        raise AssertionError(f"timed out waiting for {what}: {condition}")

    def frames(self):
        return self.js("return window.zindle ? window.zindle.stats.frames : 0")

    def wait_frames(self, count):
        start = self.frames()
        self.wait(f"window.zindle.stats.frames >= {start + count}", what=f"{count} frames")

    def state(self):
        return self.js("return window.zindle.state()")

    def keys(self, *keys, hold=None):
        from selenium.webdriver.common.action_chains import ActionChains
        chain = ActionChains(self.browser.driver)
        if hold:
            chain.key_down(hold)
        for key in keys:
            chain.send_keys(key)
        if hold:
            chain.key_up(hold)
        chain.perform()

    def picture_rgb(self):
        """The stage's picture as the last frame left it, as RGB bytes, rows top to bottom."""
        encoded = self.js("""
            const p = window.zindle.readPicture();
            let s = '';
            for (let i = 0; i < p.rgba.length; i += 4)
              s += String.fromCharCode(p.rgba[i], p.rgba[i + 1], p.rgba[i + 2]);
            return [p.width, p.height, btoa(s)];""")
        import base64
        return encoded[0], encoded[1], base64.b64decode(encoded[2])

    def sound_starts(self, prefix):
        starts = self.js("return window.zindle.stats.soundStarts")
        return sum(n for path, n in starts.items() if path.startswith(prefix))

    def severe_console(self):
        return [m for level, m in self.browser.console() if level == "SEVERE"]

    def close(self):
        try:
            self.browser.close()
        finally:
            self.server.close()


def title_frames():
    """Both phases of the title's blinking prompt, as zindle-shot draws them."""
    folder = tempfile.mkdtemp(prefix="zindle-web-shot-")
    try:
        subprocess.run([ARGS.shot, "--at", "0,1", "--out", os.path.join(folder, "title.png")],
                       check=True, capture_output=True)
        frames = [read_png_rgb(os.path.join(folder, f"title-{t}.png")) for t in ("0", "1")]
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    assert frames[0][2] != frames[1][2], "the two moments show both phases of the prompt"
    return frames


# Where the title's line of keys lies: a page says there what ESC does in it (it ends the game,
# it cannot quit).
KEYS_LINE = (93, 284, 387, 299)  # left, top, right, bottom


def in_keys_line(i, width=480):
    x, y = (i // 3) % width, (i // 3) // width
    return KEYS_LINE[0] <= x < KEYS_LINE[2] and KEYS_LINE[1] <= y < KEYS_LINE[3]


def differing_pixels(a, b, where=lambda i: True):
    return sum(1 for i in range(0, len(a), 3) if where(i) and a[i:i + 3] != b[i:i + 3])


class PlaySessionTest(unittest.TestCase):
    """One page, played as a player would: title, join, computer player, back, close, again."""

    @classmethod
    def setUpClass(cls):
        cls.titles = title_frames()
        cls.page = Page(ARGS.web)

    @classmethod
    def tearDownClass(cls):
        cls.page.close()

    def assert_title_frame(self, what):
        page = self.page
        width, height, rgb = page.picture_rgb()
        self.assertEqual((width, height), TITLE_SIZE)
        # The title atlas has no partly transparent pixels, so both renderers agree exactly, but
        # for the line of keys, which says what ESC does in a page.
        outside = lambda i: not in_keys_line(i)
        best = min(differing_pixels(rgb, title[2], outside) for title in self.titles)
        self.assertEqual(best, 0, f"{what}: {best} pixels differ from zindle-shot's title")
        self.assertGreater(differing_pixels(rgb, self.titles[0][2], in_keys_line), 50,
                           f"{what}: the page's line of keys is not the desktop's")

    def test_session(self):
        page = self.page
        page.wait("window.zindle && window.zindle.stats.frames > 10", what="the first frames")
        self.assert_title_frame("the first title")
        self.assertEqual(page.state()["heroes"], [])
        page.wait(f"window.zindle.stats.soundStarts[{MENU_MUSIC!r}] === 1", what="the title music")

        # SPACE: player 1's hero is thrown in, with its sound, and the title opens to the match
        # music; the key also starts the audio.
        page.keys(" ")
        page.wait("window.zindle.state().heroes.length === 1", what="a hero")
        self.assertEqual(page.state()["heroes"][0], {"player": 0, "score": 0, "computer": False})
        page.wait("window.zindle.state().title === 0", what="the title to open")
        page.wait("window.zindle.audioState() === 'running'", what="audio to run")
        page.wait(f"window.zindle.stats.soundStarts[{GAME_MUSIC!r}] === 1", what="the match music")
        self.assertGreaterEqual(page.sound_starts("assets/laser_shoot"), 1, "the spawn sound")
        self.assertEqual(page.js("return window.scrollY"), 0, "SPACE does not scroll the page")

        # A hidden page deactivates the stage: no frames until it is shown again. (A headless
        # browser never hides a tab, so the page is told that it is hidden.)
        tell_hidden = TELL_HIDDEN
        page.js(tell_hidden, True)
        frames = page.frames()
        time.sleep(0.3)
        self.assertEqual(page.frames(), frames, "a hidden page draws nothing")
        page.js(tell_hidden, False)
        page.wait_frames(5)

        # CTRL+2 hands player 2 to the computer, which joins at once.
        from selenium.webdriver.common.keys import Keys
        page.keys("2", hold=Keys.CONTROL)
        page.wait("window.zindle.state().heroes.some(h => h.player === 1 && h.computer)",
                  what="a computer player 2")

        # ESC: back to the title; ESC on the shown title ends the program, and the page offers
        # to play again; a key brings the title back in a fresh run.
        page.keys(Keys.ESCAPE)
        page.wait("window.zindle.state().title === 1", what="the title to close")
        page.wait_frames(3)
        self.assert_title_frame("the title after ESC")
        page.keys(Keys.ESCAPE)
        page.wait("!document.getElementById('panel').hidden", what="the play-again screen")
        self.assertIn("play again", page.js("return document.getElementById('message').textContent"))
        frames = page.frames()
        time.sleep(0.3)
        self.assertEqual(page.frames(), frames, "no frames once the program has ended")
        page.keys("a")
        page.wait("document.getElementById('panel').hidden", what="the play-again screen to go")
        page.wait("window.zindle.stats.sessions === 2", what="a second run")
        page.wait_frames(10)
        self.assertEqual(page.state()["heroes"], [])
        self.assert_title_frame("the title of the second run")
        self.assertEqual(page.severe_console(), [])


# Gamepads the page reads as if plugged in: window.plugPad(index) makes a standard-mapped pad.
FAKE_GAMEPADS = """
window.fakePads = [];
navigator.getGamepads = () => window.fakePads;
window.plugPad = (index) => {
  window.fakePads[index] = { index, mapping: 'standard', connected: true, axes: [0, 0, 0, 0],
    buttons: Array.from({ length: 17 }, () => ({ pressed: false, value: 0 })) };
};
window.pressPad = (index, button, down) => { window.fakePads[index].buttons[button].pressed = down; };
window.tiltPad = (index, value) => { window.fakePads[index].axes[0] = value; };
"""

# Tells the page that it is hidden (true) or shown (false): a headless browser never hides a tab.
TELL_HIDDEN = """Object.defineProperty(document, 'hidden', {value: arguments[0], configurable: true});
                 document.dispatchEvent(new Event('visibilitychange'));"""


class GamepadTest(unittest.TestCase):
    def test_pads_join_by_their_own_number_with_start_or_a(self):
        page = Page(ARGS.web, script=FAKE_GAMEPADS)
        try:
            page.wait("window.zindle && window.zindle.stats.frames > 10", what="the first frames")
            players = "window.zindle.state().heroes.map(h => h.player).sort().join()"
            # The first pad is device 0 (player 1) and joins with Start.
            page.js("plugPad(0); pressPad(0, 9, true)")
            page.wait(f"{players} === '0'", what="player 1 from the pad's Start")
            page.js("pressPad(0, 9, false)")
            # A pad plugged in later takes the next number, whatever the browser's index.
            page.js("plugPad(3); pressPad(3, 0, true)")
            page.wait(f"{players} === '0,1'", what="player 2 from the second pad's A")
            # The first pad goes; a new one takes the freed number 0, the second keeps 1. The
            # right trigger (standard button 7) is not the desktop's button 7 and joins nobody.
            page.js("fakePads[0] = null")
            page.wait_frames(2)
            page.js("plugPad(1); pressPad(1, 7, true)")
            page.wait_frames(10)
            page.js("pressPad(3, 0, false); pressPad(3, 9, true)")
            page.wait_frames(10)
            self.assertEqual(page.js(f"return {players}"), "0,1")
            page.js("plugPad(2); pressPad(2, 9, true)")
            page.wait(f"{players} === '0,1,2'", what="player 3 from the third pad's Start")
            self.assertEqual(page.severe_console(), [])
        finally:
            page.close()


    def test_pads_let_go_keep_their_seats_and_steer_with_the_d_pad(self):
        page = Page(ARGS.web, script=FAKE_GAMEPADS)
        try:
            page.wait("window.zindle && window.zindle.stats.frames > 10", what="the first frames")
            pads = "window.zindle.state().pads"
            page.js("plugPad(0); plugPad(1)")
            # A stick let go is centred at once, and a held button is sent once.
            page.js("tiltPad(0, 1); pressPad(0, 9, true)")
            page.wait(f"{pads}[0] === 1", what="the stick pushed right")
            page.js("tiltPad(0, 0)")
            page.wait(f"{pads}[0] === 0", what="the stick back at the centre")
            page.wait_frames(20)
            starts = page.js("return window.zindle.stats.padInputs"
                             ".filter(([d, axis, n]) => d === 0 && !axis && n === 9)")
            self.assertEqual(starts, [[0, 0, 9, 1]], "Start held: one press, no repeats")
            # The D-pad steers both ways, and letting go gives the stick back.
            for button, value in ((14, -1), (15, 1)):
                page.js(f"pressPad(0, {button}, true)")
                page.wait(f"{pads}[0] === {value}", what=f"D-pad button {button}")
                page.js(f"pressPad(0, {button}, false)")
                page.wait(f"{pads}[0] === 0", what=f"D-pad button {button} let go")
            # Pad 0 goes: pad 1 keeps its seat (paddle 2), and pad 0 lets go of what it held.
            page.js("tiltPad(0, -1)")
            page.wait(f"{pads}[0] === -1", what="pad 0 pushed left")
            page.js("fakePads[0] = null")
            page.wait(f"{pads}[0] === 0", what="the unplugged pad's stick let go")
            page.js("tiltPad(1, 1)")
            page.wait(f"{pads}[1] === 1", what="pad 1 steering paddle 2")
            self.assertEqual(page.js(f"return {pads}[0]"), 0)
            # Hidden, the page lets go of the pads; the stick still pushed counts again after.
            page.js(TELL_HIDDEN, True)
            page.wait(f"{pads}[1] === 0", what="pad 1 let go while hidden")
            page.js(TELL_HIDDEN, False)
            page.wait(f"{pads}[1] === 1", what="pad 1 steering again")
            # The button that starts a new run from the play-again screen joins nobody.
            from selenium.webdriver.common.keys import Keys
            page.keys(Keys.ESCAPE)
            page.wait("window.zindle.state().title === 1", what="the title")
            page.keys(Keys.ESCAPE)
            page.wait("!document.getElementById('panel').hidden", what="the play-again screen")
            page.js("pressPad(1, 9, true)")
            page.wait("window.zindle.stats.sessions === 2", what="a second run")
            page.wait_frames(20)
            self.assertEqual(page.state()["heroes"], [])
            self.assertEqual(page.severe_console(), [])
        finally:
            page.close()


class TouchTest(unittest.TestCase):
    """Chromium's touch emulation: taps and held fingers, as a phone or a tablet sends them."""

    def open(self, width, height):
        page = Page(ARGS.web, width, height)
        driver = page.browser.driver
        driver.execute_cdp_cmd("Emulation.setTouchEmulationEnabled",
                               {"enabled": True, "maxTouchPoints": 5})
        page.wait("window.zindle && window.zindle.stats.frames > 10", what="the first frames")
        return page

    def touch(self, page, kind, *points):
        page.browser.driver.execute_cdp_cmd("Input.dispatchTouchEvent", {
            "type": kind,
            "touchPoints": [{"x": x, "y": y, "id": i} for i, (x, y) in enumerate(points)]})

    def tap(self, page, x, y):
        self.touch(page, "touchStart", (x, y))
        self.touch(page, "touchEnd")

    def hold(self, page, expected, *points):
        """Fingers down at points: the game keys held are expected; then they let go."""
        keys = "window.zindle.state().keys.join()"
        self.touch(page, "touchStart", *points)
        page.wait(f"{keys} === {','.join(map(str, sorted(expected)))!r}",
                  what=f"keys {expected} held at {points}")
        self.touch(page, "touchEnd")
        page.wait(f"{keys} === ''", what="every key let go")

    def panel_point(self, page, player):
        """The middle of a player's panel as the picture draws it: 120 pixels a panel along
        the picture's bottom strip (rows 275 to 320 of 320)."""
        left, top, width, height = page.js(
            "const r = document.getElementById('game').getBoundingClientRect();"
            "return [r.left, r.top, r.width, r.height]")
        return (left + width * (player * 120 + 60) / 480, top + height * 297 / 320)

    def synthetic_touch(self, page, kind, changed, down):
        """A touch event the page gets without its partner events (a rotation swallows them):
        changed and down are lists of (id, x, y)."""
        page.js("""
            const [kind, changed, down] = arguments;
            const touch = ([id, x, y]) => new Touch({ identifier: id, target: document.body,
                                                      clientX: x, clientY: y });
            document.body.dispatchEvent(new TouchEvent(kind, {
              bubbles: true, cancelable: true, changedTouches: changed.map(touch),
              touches: down.map(touch) }));""", kind, changed, down)

    def copy_point(self, page, player):
        """The middle of a player's panel in the enlarged copy below an upright picture."""
        left, top, width, height = page.js(
            "const r = document.getElementById('panels').getBoundingClientRect();"
            "return [r.left, r.top, r.width, r.height]")
        return (left + width * (player % 2 * 2 + 1) / 4, top + height * (player // 2 * 2 + 1) / 4)

    def test_a_tap_on_each_drawn_panel_joins_its_player_upright_and_wide(self):
        players = "window.zindle.state().heroes.map(h => h.player).sort().join()"
        for width, height, where in ((390, 844, self.panel_point), (844, 390, self.panel_point),
                                     (390, 844, self.copy_point)):
            page = self.open(width, height)
            try:
                for player in range(4):
                    self.tap(page, *where(page, player))
                    page.wait(f"{players} === {','.join(map(str, range(player + 1)))!r}",
                              what=f"player {player + 1} from its panel at {width} by {height}")
                self.assertEqual(page.severe_console(), [])
            finally:
                page.close()

    def test_fingers_whose_touchend_never_came_are_let_go(self):
        page = self.open(480, 320)
        try:
            keys = "window.zindle.state().keys.join()"
            self.tap(page, 240, 200)
            page.wait("window.zindle.state().heroes.length === 1", what="a hero from a tap")
            # Held, then the screen turns: no touchend reaches the page.
            self.synthetic_touch(page, "touchstart", [(7, 60, 200)], [(7, 60, 200)])
            page.wait(f"{keys} === '0'", what="LEFT held")
            page.browser.set_page_size(320, 480)
            page.wait(f"{keys} === ''", what="LEFT let go at the rotation")
            page.browser.set_page_size(480, 320)
            # Held, then another finger comes down while the first is no longer down.
            self.synthetic_touch(page, "touchstart", [(8, 60, 200)], [(8, 60, 200)])
            page.wait(f"{keys} === '0'", what="LEFT held again")
            self.synthetic_touch(page, "touchstart", [(9, 420, 200)], [(9, 420, 200)])
            page.wait(f"{keys} === '1'", what="only the finger still down holds its key")
            self.synthetic_touch(page, "touchend", [(9, 420, 200)], [])
            page.wait(f"{keys} === ''", what="every key let go")
        finally:
            page.close()

    def test_wide_the_picture_keeps_its_shape_between_bars_and_the_zones_are_labelled(self):
        page = self.open(844, 390)
        try:
            self.tap(page, 422, 150)
            page.wait("window.zindle.state().heroes.length === 1", what="a hero from a tap")
            left, top, width, height, pixels_w, pixels_h = page.js(
                "const c = document.getElementById('game'), r = c.getBoundingClientRect();"
                "return [r.left, r.top, r.width, r.height, c.width, c.height]")
            self.assertAlmostEqual(width / height, 1.5, places=3)
            self.assertEqual((top, height), (0, 390))
            self.assertAlmostEqual(left, (844 - width) / 2, places=3)
            self.assertEqual((pixels_w, pixels_h), (480, 320))
            labels = page.js("return [...document.querySelectorAll('#touch .zone')]"
                             ".filter(z => z.getBoundingClientRect().width > 0)"
                             ".map(z => z.textContent.trim())")
            self.assertEqual(labels, ["◀ P1", "P1 ▶"])
            # The bars steer too: a thumb beside the picture holds LEFT.
            self.hold(page, [0], (40, 200))
        finally:
            page.close()

    def test_a_tap_joins_and_each_player_steers_with_a_pair_of_zones(self):
        page = self.open(480, 320)
        try:
            players = "window.zindle.state().heroes.map(h => h.player).sort().join()"
            self.tap(page, 240, 200)
            page.wait(f"{players} === '0'", what="player 1 from a tap")
            self.assertTrue(page.js("return window.zindle.touchMode()"))
            page.wait("window.zindle.audioState() === 'running'", what="the tap to start the sound")
            page.wait("window.zindle.state().title === 0", what="the title to open")
            self.hold(page, [0], (60, 200))   # player 1's left
            self.hold(page, [1], (420, 200))  # player 1's right
            # A tap on player 2's panel, where it is drawn, brings a second player: the screen
            # is now two pairs.
            self.tap(page, *self.panel_point(page, 1))
            page.wait(f"{players} === '0,1'", what="player 2 from a tap on its panel")
            self.hold(page, [0, 4], (60, 200), (420, 200))  # P1 left and P2 right at once
            self.hold(page, [1, 3], (180, 200), (300, 200))  # P1 right and P2 left
            self.assertEqual(page.severe_console(), [])
        finally:
            page.close()

    def test_a_tap_on_the_corner_presses_its_button_and_never_steers_or_joins(self):
        for width, height in ((480, 320), (390, 844)):
            page = self.open(width, height)
            try:
                box = page.js("const r = document.getElementById('save-clip')"
                              ".getBoundingClientRect();"
                              "return [r.left + r.width / 2, r.top + r.height / 2];")
                self.tap(page, *box)
                page.wait("document.getElementById('save-clip').disabled",
                          what="the button's press")
                page.wait_frames(10)
                self.assertEqual(page.state()["heroes"], [], "a tap on the corner joins nobody")
                # With a player steering by touch, a finger on the button holds no key.
                self.tap(page, width / 2, height * 0.8)
                page.wait("window.zindle.state().heroes.length === 1", what="a hero")
                self.touch(page, "touchStart", box)
                page.wait_frames(10)
                self.assertEqual(page.state()["keys"], [], f"the button steers at {width}")
                self.touch(page, "touchEnd")
            finally:
                page.close()

    def test_upright_the_picture_keeps_its_shape_above_the_zones(self):
        page = self.open(360, 640)
        try:
            self.tap(page, 180, 500)
            page.wait("window.zindle.state().heroes.length === 1", what="a hero from a tap")
            canvas = page.js("const r = document.getElementById('game').getBoundingClientRect();"
                             "return [r.left, r.top, r.width, r.height]")
            self.assertEqual(canvas, [0, 0, 360, 240])
            band = page.js("const r = document.getElementById('touch').getBoundingClientRect();"
                           "return [r.top, r.height]")
            self.assertEqual(band, [375, 265])
            # Between them the panels again, two by two, large enough to read (the panels' words
            # are 7 picture pixels tall: at least 9 CSS pixels), the same pixels as the picture's.
            scale, differing = page.js("""
                const copy = document.getElementById('panels');
                const p = window.zindle.readPicture();
                const rows = copy.getContext('2d').getImageData(0, 0, 240, 90).data;
                let differing = 0;
                for (let y = 0; y < 90; ++y)
                  for (let x = 0; x < 240; ++x) {
                    const panel = Math.floor(y / 45) * 2 + Math.floor(x / 120);
                    const px = panel * 120 + x % 120, py = 275 + y % 45;
                    for (let k = 0; k < 3; ++k)
                      if (rows[(y * 240 + x) * 4 + k] !== p.rgba[(py * 480 + px) * 4 + k])
                        differing += 1;
                  }
                return [copy.getBoundingClientRect().width / copy.width, differing];""")
            self.assertGreaterEqual(scale * 7, 9)
            self.assertEqual(differing, 0)
            self.hold(page, [0], (60, 500))
            self.hold(page, [1], (300, 600))
            # The picture is drawn at its own shape: the canvas is 3 by 2.
            size = page.js("const c = document.getElementById('game'); return [c.width, c.height]")
            self.assertEqual(size[0] * 2, size[1] * 3)
        finally:
            page.close()


class FocusTest(unittest.TestCase):
    def test_keys_held_when_the_page_is_hidden_or_loses_the_focus_are_let_go(self):
        from selenium.webdriver.common.action_chains import ActionChains
        from selenium.webdriver.common.keys import Keys
        page = Page(ARGS.web)
        try:
            page.wait("window.zindle && window.zindle.stats.frames > 10", what="the first frames")
            keys = "window.zindle.state().keys"
            for what, lose, regain in (
                    ("hidden", lambda: page.js(TELL_HIDDEN, True),
                     lambda: page.js(TELL_HIDDEN, False)),
                    ("blurred", lambda: page.js("window.dispatchEvent(new Event('blur'))"),
                     lambda: None)):
                ActionChains(page.browser.driver).key_down(Keys.ARROW_LEFT).perform()
                page.wait(f"{keys}.includes(0)", what=f"LEFT held ({what})")
                lose()
                page.wait(f"!{keys}.includes(0)", what=f"LEFT let go when {what}")
                regain()
                ActionChains(page.browser.driver).key_up(Keys.ARROW_LEFT).perform()
            self.assertEqual(page.severe_console(), [])
        finally:
            page.close()


# A kept replay, so that the page offers its list: the signature is all the page checks.
KEEP_A_REPLAY = """localStorage.setItem('zindle.replays', JSON.stringify([
  { name: '2026-01-02_03-04-05.replay', data: btoa('\\x89ZVPRPL\\n' + '\\0'.repeat(8)) }]));"""


class KeyboardAccessTest(unittest.TestCase):
    def test_tab_reaches_every_control_and_enter_and_space_are_the_controls(self):
        from selenium.webdriver.common.action_chains import ActionChains
        from selenium.webdriver.common.keys import Keys
        page = Page(ARGS.web, script=KEEP_A_REPLAY)
        try:
            page.wait("window.zindle && window.zindle.stats.frames > 10", what="the first frames")
            focused = ("const e = document.activeElement;"
                       "return e.id || e.tagName.toLowerCase();")
            reached = [page.js(focused)]
            for key in (Keys.TAB, Keys.TAB, Keys.SPACE, Keys.TAB):
                ActionChains(page.browser.driver).send_keys(key).perform()
                reached.append(page.js(focused))
            # SPACE on the replays' summary opened the list, and its link is next.
            self.assertEqual(reached, ["game", "save-clip", "summary", "summary", "a"])
            ActionChains(page.browser.driver).key_down(Keys.SHIFT).send_keys(Keys.TAB) \
                .send_keys(Keys.TAB).key_up(Keys.SHIFT).perform()
            self.assertEqual(page.js(focused), "save-clip")
            self.assertNotEqual(page.js("return getComputedStyle(document.activeElement)"
                                        ".outlineStyle"), "none", "the focus shows")
            ActionChains(page.browser.driver).send_keys(Keys.ENTER).perform()
            page.wait("document.getElementById('save-clip').disabled", what="ENTER to record")
            page.wait_frames(10)
            self.assertEqual(page.state()["heroes"], [], "the controls' keys are not the game's")
        finally:
            page.close()


class SoundUnlockTest(unittest.TestCase):
    def test_a_modifier_first_does_not_keep_the_sound_off(self):
        from selenium.webdriver.common.action_chains import ActionChains
        from selenium.webdriver.common.keys import Keys
        page = Page(ARGS.web)
        try:
            page.wait("window.zindle && window.zindle.stats.frames > 10", what="the first frames")
            page.wait(f"window.zindle.stats.soundStarts[{MENU_MUSIC!r}] === 1",
                      what="the title music, waiting")
            self.assertEqual(page.js("return window.zindle.audioState()"), "suspended")
            # While the sound waits for a gesture, the page says how to give it.
            prompt = "const p = document.getElementById('sound-prompt');" \
                     "return p.hidden ? null : p.textContent"
            self.assertEqual(page.js(prompt), "Tap or press a key for sound")
            # SHIFT alone is no gesture that allows sound; the key after it is.
            ActionChains(page.browser.driver).key_down(Keys.SHIFT).key_up(Keys.SHIFT).perform()
            page.wait_frames(10)
            page.keys("a")
            page.wait("window.zindle.audioState() === 'running'", what="the sound to start")
            page.wait("document.getElementById('sound-prompt').hidden", what="the prompt to go")
        finally:
            page.close()


class LongMatchTest(unittest.TestCase):
    def test_four_computer_players_play_without_errors(self):
        page = Page(ARGS.web)
        try:
            from selenium.webdriver.common.keys import Keys
            page.wait("window.zindle && window.zindle.stats.frames > 10", what="the first frames")
            page.keys("1", "2", "3", "4", hold=Keys.CONTROL)
            page.wait("window.zindle.state().heroes.length === 4", what="four computer players")
            start = page.frames()
            time.sleep(MATCH_SECONDS)
            self.assertGreater(page.frames() - start, MATCH_SECONDS * 10, "frames keep coming")
            self.assertEqual(page.js("return window.zindle.stats.errors"), [])
            self.assertEqual(page.severe_console(), [])
            self.assertTrue(page.js("return document.getElementById('panel').hidden"))
        finally:
            page.close()


def build_without(*missing, replaced=None):
    """A copy of the web build (as links) that lacks the given files (paths in the build), with
    the files in replaced (path in the build -> bytes) written in place of the build's."""
    replaced = replaced or {}
    folder = tempfile.mkdtemp(prefix="zindle-web-broken-")
    for name in os.listdir(ARGS.web):
        if name == "assets":
            os.mkdir(os.path.join(folder, "assets"))
            for asset in os.listdir(os.path.join(ARGS.web, "assets")):
                path = f"assets/{asset}"
                target = os.path.join(folder, "assets", asset)
                if path in replaced:
                    with open(target, "wb") as f:
                        f.write(replaced[path])
                elif path not in missing:
                    os.symlink(os.path.join(ARGS.web, "assets", asset), target)
        elif name not in missing:
            os.symlink(os.path.join(ARGS.web, name), os.path.join(folder, name))
    return folder


# One note held for seven hours as a 44-byte MIDI file.
LONG_MIDI = (b"MThd\0\0\0\x06\0\0\0\x01\0\x60MTrk\0\0\0\x16\0\xff\x03\x03zvp"
             b"\0\x90\x3c\x7f\x82\xa7\xa8\x00\x80\x3c\0\0\xff\x2f\0")


class BrokenDataTest(unittest.TestCase):
    def test_an_effect_in_another_format_is_refused_in_a_line_and_the_game_plays(self):
        folder = build_without(replaced={"assets/jump1.wav": LONG_MIDI})
        try:
            page = Page(folder)
            try:
                # The effects arrive behind the first frames: wait until they are all in.
                page.wait("window.zindle && window.zindle.stats.frames > 10 && "
                          "window.zindle.stats.loading && window.zindle.stats.loading.sounds === 'in'",
                          what="frames and every sound")
                lines = [m for _, m in page.browser.console() if "jump1.wav" in m]
                self.assertEqual(len(lines), 1, lines)
                self.assertIn("a MIDI file, not a WAV sound", lines[0])
                self.assertEqual(page.severe_console(), [])
            finally:
                page.close()
        finally:
            shutil.rmtree(folder, ignore_errors=True)

    def test_missing_atlas_shows_its_error_in_the_page(self):
        folder = build_without("assets/gametiles.png")
        try:
            page = Page(folder)
            try:
                page.wait("document.getElementById('panel').className === 'error'",
                          what="the error panel")
                text = page.js("return document.getElementById('message').textContent")
                self.assertIn("gametiles.png", text)
                self.assertEqual(page.js("return document.getElementById('heading').textContent"),
                                 "Error")
                self.assertTrue(any("gametiles.png" in m for m in page.severe_console()),
                                "the error is on the console too")
            finally:
                page.close()
        finally:
            shutil.rmtree(folder, ignore_errors=True)


# Records, from the page's first moment, every value the progress bar shows with its time.
WATCH_PROGRESS = """
window.progressSeen = [];
document.addEventListener('DOMContentLoaded', () => {
  const bar = document.getElementById('progress');
  new MutationObserver(() => window.progressSeen.push([performance.now(), bar.value]))
    .observe(bar, { attributes: true });
});
"""


class LoadingTest(unittest.TestCase):
    def test_code_and_pictures_counted_then_effects_then_music(self):
        page = Page(ARGS.web, script=WATCH_PROGRESS)
        try:
            page.wait("window.zindle && window.zindle.stats.frames > 0", what="the first frame")
            page.wait("window.zindle.stats.loading.sounds === 'in'", what="the sounds")
            timing = {e["name"].split("/", 3)[3]: e for e in page.js(
                "return performance.getEntriesByType('resource')"
                ".map(e => ({name: e.name, start: e.fetchStart, end: e.responseEnd}))")}
            wasm = timing["zindle.wasm"]
            kinds = {"picture": (".png", ".txt"), "effect": (".wav",), "music": (".mp3",)}
            by_kind = {kind: [e for name, e in timing.items() if name.startswith("assets/")
                              and name.endswith(ends)] for kind, ends in kinds.items()}
            self.assertTrue(all(by_kind.values()), by_kind)
            # The code and the pictures together (the first frame waits for both), then the rest.
            order = [[wasm] + by_kind["picture"], by_kind["effect"], by_kind["music"]]
            for before, after in zip(order, order[1:]):
                self.assertLessEqual(max(e["end"] for e in before),
                                     min(e["start"] for e in after) + 1, (before, after))
            # The bar filled only once the code was in (it counts the code), and was full at the
            # start.
            seen = page.js("return window.progressSeen")
            self.assertGreaterEqual(seen[-1][0], wasm["end"], seen)
            self.assertEqual(seen[-1][1], 1)
            loading = page.js("return window.zindle.stats.loading")
            wasm_size = os.path.getsize(os.path.join(ARGS.web, "zindle.wasm"))
            self.assertEqual(loading["files"]["zindle.wasm"], wasm_size)
        finally:
            page.close()

    def test_missing_music_plays_on_silently(self):
        folder = build_without(MENU_MUSIC)
        try:
            page = Page(folder)
            try:
                page.wait("window.zindle && window.zindle.stats.frames > 10",
                          what="the first frames")
                page.keys(" ")
                page.wait("window.zindle.state().heroes.length === 1", what="a hero")
                page.wait(f"window.zindle.stats.soundStarts[{GAME_MUSIC!r}] === 1",
                          what="the match music")
                self.assertTrue(page.js("return document.getElementById('panel').hidden"))
                self.assertEqual(page.js("return window.zindle.stats.errors"), [])
                # One line of the page's own; the browser adds its own line for the 404.
                lines = [m for _, m in page.browser.console()
                         if MENU_MUSIC in m and "Failed to load resource" not in m]
                self.assertEqual(len(lines), 1, lines)
            finally:
                page.close()
        finally:
            shutil.rmtree(folder, ignore_errors=True)

    def test_missing_code_says_so_plainly(self):
        folder = build_without("zindle.wasm")
        try:
            page = Page(folder)
            try:
                page.wait("document.getElementById('panel').className === 'error'",
                          what="the error panel")
                text = page.js("return document.getElementById('message').textContent")
                self.assertIn("The game's code could not be loaded", text)
                self.assertIn("zindle.wasm", text)
                self.assertIn("404", text)
            finally:
                page.close()
        finally:
            shutil.rmtree(folder, ignore_errors=True)


class BytesTest(unittest.TestCase):
    def test_a_first_visit_gets_each_file_once_compressed_and_the_worker_gets_304s(self):
        page = Page(ARGS.web)
        from web_server import published_files, served_size
        try:
            page.wait("window.zindle && window.zindle.stats.frames > 0", what="the first frame")
            page.wait("navigator.serviceWorker.controller !== null", timeout=30,
                      what="the service worker to take over")
            entries = {e[0].split("/", 3)[3]: e[1:] for e in page.js(
                "return performance.getEntriesByType('resource')"
                ".map(e => [e.name, e.encodedBodySize, e.decodedBodySize])")}
            for path in ("zindle.wasm", "zindle.js", "files.json"):
                encoded, decoded = entries[path]
                self.assertLess(encoded * 2, decoded, f"{path} arrives compressed")
            time.sleep(0.5)  # the worker's last answers leave the server
            httpd = page.server.httpd
            files = published_files(ARGS.web)
            size = served_size(ARGS.web, files, httpd.accept_encoding)
            self.assertLessEqual(page.server.sent_bytes, 1.1 * size,
                                 f"{page.server.sent_bytes} bytes for a build of {size}")
            # The worker's fetches were answered from the browser's cache, confirmed by 304s:
            # no file's body was sent twice.
            self.assertGreater(httpd.statuses[304], len(files) // 2, httpd.statuses)
            twice = [path for path, n in httpd.bodies_sent.items() if n > 1]
            self.assertEqual(twice, [])
        finally:
            page.close()

    def test_a_line_dropped_while_loading_retries_and_the_game_starts_when_it_returns(self):
        page = Page(ARGS.web, cut={"/zindle.wasm", "/assets/title.png"})
        try:
            text = page.wait("document.getElementById('message').textContent.includes('connection')"
                             " && document.getElementById('message').textContent",
                             what="the line's message")
            self.assertIn("connection to the server was lost", text)
            self.assertNotIn("not the game's code", text)
            self.assertNotEqual(page.js("return document.getElementById('panel').className"),
                                "error")
            page.server.httpd.cut_files.clear()
            page.wait("window.zindle && window.zindle.stats.frames > 5", timeout=30,
                      what="the game once the line is back")
            self.assertEqual(page.js("return window.zindle.stats.errors"), [])
        finally:
            page.close()


CACHES = """
const done = arguments[arguments.length - 1];
caches.keys().then((names) => done(names.filter((n) => n.startsWith('zindle-'))));
"""


class OfflineTest(unittest.TestCase):
    def test_after_one_visit_the_game_plays_with_the_server_stopped(self):
        page = Page(ARGS.web)
        try:
            driver = page.browser.driver
            page.wait("window.zindle && window.zindle.stats.frames > 10", what="the first frames")
            page.wait("navigator.serviceWorker.controller !== null", timeout=30,
                      what="the service worker to take over")
            version = driver.execute_async_script(CACHES)
            self.assertEqual(len(version), 1, "one cache, this build's")
            with open(os.path.join(ARGS.web, "service-worker.js")) as file:
                self.assertIn(f"VERSION = '{version[0][len('zindle-'):]}'", file.read())
            page.server.close()
            driver.get(page.server.url + "index.html?seed=3")
            page.wait("window.zindle && window.zindle.stats.frames > 10",
                      what="the first frames offline")
            page.keys(" ")
            page.wait("window.zindle.state().heroes.length === 1", what="a hero offline")
            page.wait("window.zindle.stats.loading.sounds === 'in'", what="the sounds")
            self.assertEqual(page.js("return window.zindle.stats.errors"), [])
        finally:
            page.browser.close()


# Renders two seconds across the loop's join as the page loops the music, and compares the
# first second after the join with the music's own first second: a sample-exact loop repeats
# it exactly, while a gap or a misplaced join shows at once.
RENDER_JOIN = """
const [path, done] = arguments;
window.zindle.music(path).then(async (entry) => {
  if (!entry) return done(null);
  const rate = entry.buffer.sampleRate;
  const length = entry.span.end - entry.span.start;
  const context = new OfflineAudioContext(1, length + rate, rate);
  const source = context.createBufferSource();
  source.buffer = entry.buffer;
  source.loop = true;
  source.loopStart = entry.start;
  source.loopEnd = entry.end;
  source.connect(context.destination);
  source.start(0, entry.start);
  const out = (await context.startRendering()).getChannelData(0);
  let difference = 0, level = 0;
  for (let i = 0; i < rate; ++i) {
    difference = Math.max(difference, Math.abs(out[length + i] - out[i]));
    level = Math.max(level, Math.abs(out[i]));
  }
  done({ span: entry.span, difference, level });
});
"""


class MusicLoopTest(unittest.TestCase):
    def test_music_loops_sample_exactly(self):
        page = Page(ARGS.web)
        try:
            page.wait("window.zindle && window.zindle.stats.frames > 0", what="the first frame")
            page.browser.driver.set_script_timeout(60)
            for path in (GAME_MUSIC, MENU_MUSIC):
                page.wait(f"window.zindle.gaplessInfo({path!r})", what=f"{path} to arrive")
                info = page.js(f"return window.zindle.gaplessInfo({path!r})")
                join = page.browser.driver.execute_async_script(RENDER_JOIN, path)
                self.assertIsNotNone(join, f"{path} decodes")
                span = join["span"]
                # One pass is the music the encoder was given, whatever the decoder kept...
                self.assertEqual(span["end"] - span["start"], info["samples"], path)
                # ...and the second pass starts exactly as the first did.
                self.assertGreater(join["level"], 0.01, "the music's start is not silence")
                self.assertLess(join["difference"], 1e-6, path)
        finally:
            page.close()


# The canvas against the picture enlarged to it with nearest sampling, computed here (and then
# smoothly, where the canvas is no whole multiple). Returns how many colour values differ, and
# by how much at most (filtering may round a last bit differently).
COMPARE_STRETCH = """
const p = window.zindle.readPicture();
const c = window.zindle.readCanvas();
const kx = Math.max(1, Math.floor(c.width / p.width)), ky = Math.max(1, Math.floor(c.height / p.height));
const ew = kx * p.width, eh = ky * p.height;
const texel = (x, y, k) => {
  x = Math.min(Math.max(x, 0), ew - 1); y = Math.min(Math.max(y, 0), eh - 1);
  return p.rgba[(Math.floor(y / ky) * p.width + Math.floor(x / kx)) * 4 + k];
};
let differing = 0, worst = 0;
for (let y = 0; y < c.height; ++y) {
  const sy = (y + 0.5) * eh / c.height - 0.5, y0 = Math.floor(sy), fy = sy - y0;
  for (let x = 0; x < c.width; ++x) {
    const sx = (x + 0.5) * ew / c.width - 0.5, x0 = Math.floor(sx), fx = sx - x0;
    for (let k = 0; k < 3; ++k) {
      const top = texel(x0, y0, k) * (1 - fx) + texel(x0 + 1, y0, k) * fx;
      const bottom = texel(x0, y0 + 1, k) * (1 - fx) + texel(x0 + 1, y0 + 1, k) * fx;
      const d = Math.abs(c.rgba[(y * c.width + x) * 4 + k] - (top * (1 - fy) + bottom * fy));
      if (d >= 0.5) { differing += 1; worst = Math.max(worst, d); }
    }
  }
}
return [c.width, c.height, differing, worst];
"""


class StretchTest(unittest.TestCase):
    def test_the_canvas_holds_the_picture_exactly_placed_at_its_shape(self):
        # The picture's size, whole multiples, and fractions (each direction its own): the game
        # draws the picture's pixels and the compositor enlarges them onto a 3 by 2 box.
        for width, height in ((480, 320), (1440, 960), (1920, 1080), (1280, 720)):
            page = Page(ARGS.web, width, height)
            try:
                page.wait("window.zindle && window.zindle.stats.frames > 5", what="frames")
                got_w, got_h, differing, _ = page.js(COMPARE_STRETCH)
                self.assertEqual((got_w, got_h, differing), (480, 320, 0))
                left, top, box_w, box_h, rendering = page.js(
                    "const c = document.getElementById('game'), r = c.getBoundingClientRect();"
                    "return [r.left, r.top, r.width, r.height, getComputedStyle(c).imageRendering]")
                scale = min(width / 480, height / 320)
                for got, expected in ((box_w, 480 * scale), (box_h, 320 * scale),
                                      (left, (width - 480 * scale) / 2),
                                      (top, (height - 320 * scale) / 2)):
                    self.assertAlmostEqual(got, expected, delta=0.01, msg=f"{width} by {height}")
                self.assertEqual(rendering, "pixelated")
            finally:
                page.close()


REPLAY_SIGNATURE = b"\x89ZVPRPL\n"

# The bytes behind the page's newest replay link, fetched as a download would, as base64.
NEWEST_REPLAY = """
const done = arguments[arguments.length - 1];
const link = document.querySelector('#replay-links a');
fetch(link.href).then((r) => r.arrayBuffer()).then((buffer) => {
  const bytes = new Uint8Array(buffer);
  let text = '';
  for (let i = 0; i < bytes.length; i += 1) text += String.fromCharCode(bytes[i]);
  done([link.download, btoa(text)]);
}).catch((e) => done(['', String(e)]));"""


def simulator():
    return ARGS.sim or os.path.join(os.path.dirname(os.path.abspath(ARGS.shot)), "zindle-sim")


class ReplayTest(unittest.TestCase):
    """Matches played in the page are recorded as on the desktop and kept for download."""

    def test_a_played_match_is_offered_and_re_simulates_to_every_checksum(self):
        import base64
        from selenium.webdriver.common.keys import Keys
        page = Page(ARGS.web)
        try:
            page.wait("window.zindle && window.zindle.stats.frames > 10", what="the first frames")
            self.assertTrue(page.js("return document.getElementById('replays').hidden"),
                            "no replays offered before any match")
            page.keys(" ")
            page.wait("window.zindle.state().heroes.length === 1", what="a hero")
            page.keys(Keys.ARROW_LEFT, Keys.ARROW_LEFT, " ")
            page.keys("2", hold=Keys.CONTROL)
            page.wait_frames(150)  # past two checksums
            # Hidden mid-match, as before a tab is closed: what was recorded so far is kept and
            # re-simulates up to where it stops.
            page.js("window.dispatchEvent(new Event('pagehide'))")
            [(partial_name, partial)] = kept_replays(page.js)
            status, report, text = check_replay(simulator(), partial_name, partial)
            self.assertEqual(status, 0, text)
            self.assertFalse(report["finished"], text)
            self.assertGreaterEqual(report["checked"], 2, text)
            page.keys(Keys.ESCAPE)
            page.wait("JSON.parse(localStorage.getItem('zindle.replays'))"
                      f".some((r) => r.data.length > {len(base64.b64encode(partial))})",
                      timeout=20, what="the whole replay kept once the title is back")
            self.assertEqual(page.state()["heroes"], [])
            name, data = page.browser.driver.execute_async_script(NEWEST_REPLAY)
            self.assertTrue(name.endswith(".replay"), name)
            # The whole match took the place of the part kept when the page was hidden.
            self.assertEqual([n for n, _ in kept_replays(page.js)], [partial_name])
            self.assertEqual(name, partial_name)
            replay = base64.b64decode(data)
            self.assertEqual(replay[:8], REPLAY_SIGNATURE)

            status, report, text = check_replay(simulator(), name, replay)
            self.assertEqual(status, 0, text)
            self.assertTrue(report["finished"], text)

            # The page's storage keeps it for the next visit.
            page.browser.driver.refresh()
            page.wait("document.querySelector('#replay-links a')", what="the kept replay")
            self.assertEqual(page.browser.driver.execute_async_script(NEWEST_REPLAY),
                             [name, data])
            self.assertEqual(page.severe_console(), [])
        finally:
            page.close()

    def test_damaged_entries_kept_in_the_storage_are_left_out_and_the_page_plays(self):
        import base64
        import json
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "good.replay")
            subprocess.run([simulator(), "--seconds", "2", "--ai", "1", "--record", path], check=True,
                           capture_output=True, timeout=60)
            with open(path, "rb") as file:
                good = base64.b64encode(file.read()).decode()
        older, newer = "2026-01-02_03-04-05.replay", "2026-01-02_03-04-05-1.replay"
        cases = [
            ("not JSON", "[{", []),
            ("not a list", json.dumps({"name": older, "data": good}), []),
            ("damaged entries among good ones", json.dumps([
                {"name": older, "data": good},
                None, 7, "text", {"name": older}, {"name": 5, "data": good},
                {"name": "bad-base64.replay", "data": "@@@@ not base64 @@@@"},
                {"name": "not-a-replay.replay", "data": base64.b64encode(b"eggs, flour").decode()},
                {"name": "../../away.replay", "data": good},
                {"name": "<b>bold</b>.replay", "data": good},
                {"name": newer, "data": good},
            ]), [newer, older]),
        ]
        page = Page(ARGS.web)
        try:
            for what, stored, offered in cases:
                with self.subTest(what):
                    page.js("localStorage.setItem('zindle.replays', arguments[0])", stored)
                    page.browser.driver.refresh()
                    page.wait("window.zindle && window.zindle.stats.frames > 10",
                              what="the game to play")
                    names = page.js("return [...document.querySelectorAll('#replay-links a')]"
                                    ".map((a) => a.download)")
                    self.assertEqual(names, offered)
                    self.assertEqual(page.js("return document.getElementById('replays').hidden"),
                                     not offered)
                    self.assertEqual(page.severe_console(), [])
        finally:
            page.close()


# Keeps what the program prints (the page sends it to the console) in window.logged.
KEEP_LOG = """window.logged = [];
for (const level of ['log', 'warn']) {
  const original = console[level];
  console[level] = (...parts) => { window.logged.push(parts.join(' ')); original.apply(console, parts); };
}"""

# Drops a file of the given name and bytes (base64) on the page, as a player would.
DROP_FILE = """
const raw = atob(arguments[1]);
const bytes = Uint8Array.from(raw, (c) => c.charCodeAt(0));
const carried = new DataTransfer();
carried.items.add(new File([bytes], arguments[0]));
window.dispatchEvent(new DragEvent('drop', { dataTransfer: carried, cancelable: true }));"""


class ReplayWatchTest(unittest.TestCase):
    """A replay watched in the page: from an address, or dropped on it."""

    @classmethod
    def setUpClass(cls):
        # The page and a replay recorded headless, served together.
        cls.folder = tempfile.mkdtemp(prefix="zindle-watch-")
        for entry in os.listdir(ARGS.web):
            os.symlink(os.path.join(ARGS.web, entry), os.path.join(cls.folder, entry))
        cls.replay = os.path.join(cls.folder, "watch.replay")
        subprocess.run([simulator(), "--seconds", "12", "--seed", "7", "--ai", "1,2,3,4",
                        "--record", cls.replay], check=True, capture_output=True, timeout=120)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def logged(self, page):
        return page.js("return window.logged")

    def test_an_address_plays_the_replay_to_its_end_with_every_checksum(self):
        from selenium.webdriver.common.keys import Keys
        page = Page(self.folder, script=KEEP_LOG, query="?replay=watch.replay")
        try:
            page.wait("window.logged.some((l) => l.includes('SPACE pauses'))",
                      what="the replay to start")
            page.wait("window.zindle.state().heroes.length === 4", what="the recorded heroes")
            # SPACE pauses: the match stands still while frames go on.
            page.keys(" ")
            page.wait_frames(2)
            paused = page.picture_rgb()
            page.wait_frames(20)
            self.assertEqual(page.picture_rgb(), paused, "a paused replay stands still")
            page.keys(" ", "f")  # on again, four times faster
            page.wait("window.logged.some((l) => l.includes('the end'))", timeout=30,
                      what="the replay's end")
            self.assertFalse([l for l in self.logged(page) if "differs" in l])
            page.keys(Keys.ESCAPE)
            page.wait("!document.getElementById('panel').hidden", what="the play-again screen")
            self.assertEqual(page.severe_console(), [])
        finally:
            page.close()

    def test_an_address_of_another_origin_is_fetched_only_after_a_click(self):
        # A link must not make the visitor's browser ask another site (or a device on their
        # network) for anything until they say so.
        import http.server
        import threading
        asked = []

        class Counting(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                asked.append(self.path)
                self.send_response(404)
                self.end_headers()

            def log_message(self, *args):
                pass

        other = http.server.HTTPServer(("127.0.0.1", 0), Counting)
        threading.Thread(target=other.serve_forever, daemon=True).start()
        address = f"http://127.0.0.1:{other.server_port}/x.replay"
        page = Page(self.folder, script=KEEP_LOG, query="?replay=" + address)
        try:
            page.wait("!document.getElementById('panel-action').hidden", what="the offer")
            message = page.js("return document.getElementById('message').textContent")
            self.assertIn(address, message)
            time.sleep(0.5)
            self.assertEqual(asked, [], "fetched before the click")
            page.js("document.getElementById('panel-action').click()")
            page.wait("document.getElementById('message').textContent.includes('cannot be')",
                      what="the fetch's outcome")
            self.assertEqual(asked, ["/x.replay"])
        finally:
            page.close()
            other.shutdown()
            other.server_close()

    def test_a_file_that_is_no_replay_gets_a_line_and_a_key_plays(self):
        import base64
        with open(self.replay, "rb") as file:
            replay = file.read()
        cases = [
            ("notes.txt", b"shopping: eggs, flour\n", "not a replay"),
            # Cut inside its first block (a cut further on plays up to the cut).
            ("cut.replay", replay[:12 + int.from_bytes(replay[10:12], "little") + 4 + 20],
             "cut.replay: "),
        ]
        page = Page(self.folder, script=KEEP_LOG)
        try:
            page.wait("window.zindle && window.zindle.stats.frames > 10", what="the first frames")
            for name, data, expected in cases:
                with self.subTest(name):
                    page.js(DROP_FILE, name, base64.b64encode(data).decode())
                    page.wait("!document.getElementById('panel').hidden", what="the message")
                    message = page.js("return document.getElementById('message').textContent")
                    problem = message.split("\n")[0]
                    self.assertIn(name, problem)
                    self.assertIn(expected, problem)
                    self.assertIn("play", message.split("\n")[1])
                    sessions = page.js("return window.zindle.stats.sessions")
                    page.keys("a")
                    page.wait("document.getElementById('panel').hidden", what="a game instead")
                    page.wait(f"window.zindle.stats.sessions === {sessions + 1}",
                              what="a fresh run")
                    page.wait_frames(5)
            # The whole file, dropped on a game in play, is watched in its place.
            page.js(DROP_FILE, "watch.replay", base64.b64encode(replay).decode())
            page.wait("window.logged.some((l) => l.includes('SPACE pauses'))",
                      what="the dropped replay to start")
            page.wait("window.zindle.state().heroes.length === 4", what="the recorded heroes")
            self.assertEqual(page.severe_console(), [])
        finally:
            page.close()


# The bytes behind the page's newest clip link, as base64.
NEWEST_CLIP = NEWEST_REPLAY.replace("#replay-links a", "#clip-links a")
WEBM_SIGNATURE = b"\x1a\x45\xdf\xa3"  # EBML, which WebM is written in


class ClipTest(unittest.TestCase):
    def test_save_clip_offers_ten_seconds_of_the_canvas_as_webm_and_play_goes_on(self):
        import base64
        from selenium.webdriver.common.by import By
        page = Page(ARGS.web)
        try:
            page.wait("window.zindle && window.zindle.stats.frames > 10", what="the first frames")
            page.keys(" ")
            page.wait("window.zindle.state().heroes.length === 1", what="a hero")
            page.browser.driver.find_element(By.ID, "save-clip").click()
            self.assertTrue(page.js("return document.getElementById('save-clip').disabled"))
            # The click leaves the keys with the game: a second player joins by its key.
            page.keys("e")
            page.wait("window.zindle.state().heroes.length === 2", what="a second hero")
            page.wait("document.querySelector('#clip-links a')", timeout=25, what="the clip")
            name, data = page.browser.driver.execute_async_script(NEWEST_CLIP)
            self.assertTrue(name.startswith("clip-") and name.endswith(".webm"), name)
            clip = base64.b64decode(data)
            self.assertGreater(len(clip), 1000)
            self.assertEqual(clip[:4], WEBM_SIGNATURE)
            self.assertFalse(page.js("return document.getElementById('save-clip').disabled"))
            self.assertEqual(page.severe_console(), [])
        finally:
            page.close()


class ScriptsTest(unittest.TestCase):
    def test_measurements_run_from_a_python_without_selenium(self):
        # -S leaves Debian's packages out of the path, as another python3 first on PATH would.
        script = os.path.join(os.path.dirname(__file__), "..", "..", "scripts", "measure_web.py")
        run = subprocess.run([sys.executable, "-S", script, ARGS.web, "--only", "size"],
                             capture_output=True, text=True, timeout=60,
                             env={k: v for k, v in os.environ.items()
                                  if k != "ZINDLE_DEBIAN_PYTHON"})
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertIn('"figure": "wasm+js gzip"', run.stdout)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--web", required=True, help="the web build (build/web)")
    parser.add_argument("--shot", required=True, help="zindle-shot, for the title frame")
    parser.add_argument("--sim", help="zindle-sim, for the replays (default: beside zindle-shot)")
    ARGS, rest = parser.parse_known_args()
    ARGS.web = os.path.abspath(ARGS.web)
    if not os.path.exists(os.path.join(ARGS.web, "zindle.wasm")):
        print(f"no web build in {ARGS.web} (bash scripts/web.sh --build makes it)")
        return SKIP
    try:
        import selenium  # noqa: F401
    except ImportError:
        print("python3-selenium is not installed")
        return SKIP
    result = unittest.main(argv=[sys.argv[0]] + rest, exit=False, verbosity=2).result
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
