#!/usr/bin/python3
"""Cross-play on loopback: the desktop game hosts a room (`zindle --host`, in a virtual display)
and the page in headless Chromium joins it from the host's link, served by the host's own relay.
A computer player on each side; after a minute of play both report the same checksum for every
confirmed second of the same round. Then lines in the page for the host quitting, a room that
does not exist and a link with no room code. Every wait is bounded.

    crossplay_test.py --web build/web --game build/release/zindle

Exits 77 (skipped) when there is no web build or no browser.
"""
import argparse
import os
import shutil
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from online_log import LINK, checksums  # noqa: E402 (found through the path above)
from page_replays import SIGNATURE, check_replay, kept_replays  # noqa: E402

ARGS = None
SKIP = 77
PLAY_SECONDS = float(os.environ.get("ZINDLE_CROSSPLAY_SECONDS", "60"))
TICKS_PER_SECOND = 60
PATIENCE = 30



def wait_until(probe, timeout, what):
    deadline = time.time() + timeout
    while time.time() < deadline:
        value = probe()
        if value:
            return value
        time.sleep(0.2)
    raise AssertionError(f"timed out waiting for {what}")


class Page:
    def __init__(self, url):
        from browser import Browser
        self.browser = Browser()
        self.browser.driver.get(url)

    def js(self, source):
        return self.browser.script(source)

    def room(self):
        return self.js("try { return window.zindle.room(); } catch (e) { return null; }")

    def line(self):
        return self.js("const e = document.getElementById('room'); return e.hidden ? '' : e.textContent")

    def keys(self, key, hold=None):
        from selenium.webdriver.common.action_chains import ActionChains
        chain = ActionChains(self.browser.driver)
        if hold:
            chain.key_down(hold)
        chain.send_keys(key)
        if hold:
            chain.key_up(hold)
        chain.perform()

    def sums(self):
        room = self.room() or {}
        # The rounds the host led: a round the page led was its own, before it heard of the host.
        return {(r, t): s for r, t, s, led in room.get("checksums", []) if not led}

    def close(self):
        self.browser.close()


class CrossPlayTest(unittest.TestCase):
    def setUp(self):
        from e2e import Display, Game
        self.folder = tempfile.mkdtemp(prefix="zindle-crossplay-")
        self.host_log = os.path.join(self.folder, "host.sums")
        self.display = Display()
        self.host = Game(self.display, ARGS.game, ["--host", "--windowed"],
                         extra_env={"ZINDLE_CHECKSUM_LOG": self.host_log})
        found = wait_until(lambda: LINK.search(self.host.output()), PATIENCE, "the host's link")
        # The relay listens on every address; the test stays on loopback.
        self.origin = f"http://127.0.0.1:{found.group(2)}/"
        self.code = found.group(3)
        self.pages = []

    def tearDown(self):
        for page in self.pages:
            page.close()
        self.host.close()
        self.display.close()
        shutil.rmtree(self.folder, ignore_errors=True)

    def open(self, suffix):
        page = Page(self.origin + suffix)
        self.pages.append(page)
        return page

    def test_desktop_host_and_page_confirm_the_same_states(self):
        page = self.open(f"#{self.code}")
        wait_until(lambda: f"Room {self.code}: you and 1 other" in page.line(), PATIENCE,
                   "the page's line to show the room and the host")
        self.host.key("ctrl+1")                      # a computer player on the desktop
        time.sleep(0.5)
        page.keys("2", hold="\ue009")                # and one in the page (CTRL+2)
        target = PLAY_SECONDS * TICKS_PER_SECOND

        def agreeing_minute():
            desktop, browser = checksums(self.host_log), page.sums()
            shared = set(desktop) & set(browser)
            differing = sorted(k for k in shared if desktop[k] != browser[k])
            self.assertEqual(differing[:5], [], "(round, tick) whose confirmed states differ")
            return any(tick >= target for _, tick in shared)

        wait_until(agreeing_minute, PLAY_SECONDS * 2 + PATIENCE, "a minute confirmed alike")
        heroes = page.js("return window.zindle.state().heroes")
        self.assertEqual(sum(1 for h in heroes if h["computer"]), 2, heroes)
        self.assertEqual([m for level, m in page.browser.console() if level == "SEVERE"], [])
        # The host quits: its relay goes with it, and the page says so and plays on alone.
        self.host.close()
        def left_line():
            line = page.line()
            return (page.room() or {}).get("phase") == "left" and "Room" not in line and line
        line = wait_until(left_line, PATIENCE, "the page to say the host's relay has gone")
        print(f"after the host quit, the page says: {line!r}")
        self.assertIsNotNone(page.js("return window.zindle.state()"))
        self.check_online_replay(page)

    def check_online_replay(self, page):
        """Leaving ended the page's recording of the match: the page keeps it, and the native
        zindle-sim re-simulates it to every checksum."""
        replays = wait_until(lambda: kept_replays(page.js), PATIENCE, "the match's replay kept")
        self.assertEqual(len(replays), 1, [name for name, _ in replays])
        name, replay = replays[0]
        self.assertEqual(replay[:len(SIGNATURE)], SIGNATURE, name)
        sim = os.path.join(os.path.dirname(os.path.abspath(ARGS.game)), "zindle-sim")
        status, report, text = check_replay(sim, name, replay)
        self.assertEqual(status, 0, text)
        self.assertTrue(report["finished"], text)
        self.assertGreaterEqual(report["checked"], int(PLAY_SECONDS), text)
        self.assertEqual(report["checked"], report["checksums"], text)
        print(f"the page's replay {name}: {len(replay)} bytes, {report['checked']} checksums agree")

    def test_rooms_that_cannot_be_joined_get_a_line(self):
        cases = [
            ("?room=23456789ABCDE", lambda line: line and "Room" not in line and "Join" not in line),
            ("?room=%3Cscript%3E", lambda line: line == "This link names no room: its code is "
                                                       "not one the game makes."),
        ]
        for suffix, expected in cases:
            with self.subTest(suffix=suffix):
                page = self.open(suffix)
                line = wait_until(lambda: expected(page.line()) and page.line(), PATIENCE,
                                  f"the line for {suffix}")
                print(f"{suffix}: the page says {line!r}")
                self.assertEqual((page.room() or {}).get("phase", "none"), "left" if "room=2" in suffix else "none")
                self.assertIsNotNone(page.js("return window.zindle.state()"))  # it plays on


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--web", required=True)
    parser.add_argument("--game", required=True)
    ARGS, rest = parser.parse_known_args()
    if not os.path.exists(os.path.join(ARGS.web, "zindle.wasm")):
        print(f"no web build in {ARGS.web}: skipped")
        return SKIP
    from browser import CHROMIUM, CHROMEDRIVER
    if not (os.path.exists(CHROMIUM) and os.path.exists(CHROMEDRIVER)):
        print("no Chromium: skipped")
        return SKIP
    result = unittest.main(argv=[sys.argv[0]] + rest, exit=False, verbosity=2).result
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
