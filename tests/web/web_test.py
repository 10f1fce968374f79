#!/usr/bin/python3
"""The web build in headless Chromium: the picture, the keys, the sound, a long match, a broken
data folder. Run by ctest (label "web") with the web build and zindle-shot:

    web_test.py --web build/web --shot build/release/zindle-shot

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

    def __init__(self, folder, width=480, height=320, script=None):
        from browser import Browser, Server
        self.server = Server(folder)
        self.browser = Browser(width, height)
        if script:
            self.browser.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument",
                                                {"source": script})
        self.browser.driver.get(self.server.url + "index.html")

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


def differing_pixels(a, b):
    return sum(1 for i in range(0, len(a), 3) if a[i:i + 3] != b[i:i + 3])


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
        # The title atlas has no partly transparent pixels, so both renderers agree exactly.
        best = min(differing_pixels(rgb, title[2]) for title in self.titles)
        self.assertEqual(best, 0, f"{what}: {best} pixels differ from zindle-shot's title")

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
        tell_hidden = """Object.defineProperty(document, 'hidden', {value: arguments[0],
                                                                    configurable: true});
                         document.dispatchEvent(new Event('visibilitychange'));"""
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
"""


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


def broken_copy(replaced):
    """A folder that serves the web build with the assets named in replaced left out (None) or
    replaced by the bytes given."""
    folder = tempfile.mkdtemp(prefix="zindle-web-broken-")
    for name in os.listdir(ARGS.web):
        if name != "assets":
            os.symlink(os.path.join(ARGS.web, name), os.path.join(folder, name))
    os.mkdir(os.path.join(folder, "assets"))
    for name in os.listdir(os.path.join(ARGS.web, "assets")):
        target = os.path.join(folder, "assets", name)
        if name not in replaced:
            os.symlink(os.path.join(ARGS.web, "assets", name), target)
        elif replaced[name] is not None:
            with open(target, "wb") as f:
                f.write(replaced[name])
    return folder


# One note held for seven hours as a 44-byte MIDI file.
LONG_MIDI = (b"MThd\0\0\0\x06\0\0\0\x01\0\x60MTrk\0\0\0\x16\0\xff\x03\x03zvp"
             b"\0\x90\x3c\x7f\x82\xa7\xa8\x00\x80\x3c\0\0\xff\x2f\0")


class BrokenDataTest(unittest.TestCase):
    def test_an_effect_in_another_format_is_refused_in_a_line_and_the_game_plays(self):
        folder = broken_copy({"jump1.wav": LONG_MIDI})
        try:
            page = Page(folder)
            try:
                page.wait("window.zindle && window.zindle.stats.frames > 10", what="frames")
                lines = [m for _, m in page.browser.console() if "jump1.wav" in m]
                self.assertEqual(len(lines), 1, lines)
                self.assertIn("a MIDI file, not a WAV sound", lines[0])
                self.assertEqual(page.severe_console(), [])
            finally:
                page.close()
        finally:
            shutil.rmtree(folder, ignore_errors=True)

    def test_missing_atlas_shows_its_error_in_the_page(self):
        folder = broken_copy({"gametiles.png": None})
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


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--web", required=True, help="the web build (build/web)")
    parser.add_argument("--shot", required=True, help="zindle-shot, for the title frame")
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
