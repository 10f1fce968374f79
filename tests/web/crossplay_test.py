#!/usr/bin/python3
"""Cross-play on loopback: one desktop game hosts a room (`zindle --host`), a second desktop game
joins it from the host's link (`zindle --join`), each in a virtual display of its own, and the
page in headless Chromium joins from the same link, served by the host's own relay. A computer
player on each desktop and a keyboard player in the page, steered all along; after a minute of
play all three report the same checksum for every confirmed second of the same round, and each
peer's network figures are printed. Then the host quits and the others are told. Lines in the
page for a room that does not exist and a link with no room code. Every wait is bounded.

    crossplay_test.py --web build/web --game build/release/zindle

Exits 77 (skipped) when there is no web build or no browser.
"""
import argparse
import os
import re
import shutil
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from online_log import LINK, checksums, figures  # noqa: E402 (found through the path above)
from page_replays import SIGNATURE, check_replay, kept_replays  # noqa: E402

ARGS = None
SKIP = 77
PLAY_SECONDS = float(os.environ.get("ZINDLE_CROSSPLAY_SECONDS", "60"))
TICKS_PER_SECOND = 60
PATIENCE = 30
# Input delay is chosen from 0 to 3 ticks; rollback reaches back at most a quarter of a second.
MOST_INPUT_DELAY = 3
MOST_ROLLBACK_TICKS = TICKS_PER_SECOND // 4
CTRL = "\ue009"
# The page's own keyboard player: player 3's join, left and right keys.
PAGE_JOIN, PAGE_LEFT, PAGE_RIGHT = "i", "o", "p"


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

    def heroes(self):
        """(player, computer) of every hero in play, as the page sees them."""
        heroes = self.js("return window.zindle.state().heroes")
        return sorted((h["player"], h["computer"]) for h in heroes)

    def figures(self):
        return (self.room() or {}).get("figures")

    def watch_frames(self):
        """From now on the page notes the time between its frames: a page that misses frames
        sends its inputs late, and the other peers roll back the further for it."""
        self.js("""window.frameGaps = [];
            let last = performance.now();
            const note = (now) => {
                window.frameGaps.push(now - last);
                last = now;
                requestAnimationFrame(note);
            };
            requestAnimationFrame(note);""")

    def frame_gaps(self):
        return sorted(self.js("return window.frameGaps || []"))

    def steer(self, rightwards):
        """Holds one of the page player's direction keys and lets go of the other."""
        from selenium.webdriver.common.action_chains import ActionChains
        press, release = (PAGE_RIGHT, PAGE_LEFT) if rightwards else (PAGE_LEFT, PAGE_RIGHT)
        ActionChains(self.browser.driver).key_up(release).key_down(press).perform()

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


def summary(seconds):
    """One line of a peer's network figures over its seconds of play."""
    if not seconds:
        return "no figures"
    trips = sorted(t for t, _, _, _ in seconds if t >= 0)
    resim = sorted(r for _, _, _, r in seconds)
    delays = sorted({d for _, d, _, _ in seconds})
    depths = sorted(k for _, _, k, _ in seconds)
    trip = (f"round trip median {trips[len(trips) // 2]:.0f} ms (from {trips[0]:.0f} to "
            f"{trips[-1]:.0f})") if trips else "no round trip"
    return (f"{len(seconds)} s: {trip}, input delay {delays}, deepest rollback of a second "
            f"median {depths[len(depths) // 2]} ticks, most {depths[-1]} "
            f"({sum(1 for k in depths if k)} s with one), re-simulation median "
            f"{resim[len(resim) // 2]:.2f} ms/s, most {resim[-1]:.2f}")


class CrossPlayTest(unittest.TestCase):
    def setUp(self):
        from e2e import Display
        self.folder = tempfile.mkdtemp(prefix="zindle-crossplay-")
        self.displays = [Display()]
        self.host = self.start_game(self.displays[0], "host", ["--host"])
        found = wait_until(lambda: LINK.search(self.host.output()), PATIENCE, "the host's link")
        # The relay listens on every address; the test stays on loopback.
        self.origin = f"http://127.0.0.1:{found.group(2)}/"
        self.code = found.group(3)
        self.joiner = None
        self.pages = []

    def tearDown(self):
        for page in self.pages:
            page.close()
        for game in (self.joiner, self.host):
            if game:
                game.close()
        for display in self.displays:
            display.close()
        shutil.rmtree(self.folder, ignore_errors=True)

    def start_game(self, display, name, args):
        from e2e import Game
        return Game(display, ARGS.game, args + ["--windowed"], extra_env={
            "ZINDLE_CHECKSUM_LOG": os.path.join(self.folder, name + ".sums"),
            "ZINDLE_NET_FIGURES_LOG": os.path.join(self.folder, name + ".figures")})

    def log_of(self, name, suffix):
        return os.path.join(self.folder, name + suffix)

    def open(self, suffix):
        page = Page(self.origin + suffix)
        self.pages.append(page)
        return page

    def test_two_desktops_and_a_page_confirm_the_same_states(self):
        self.join_second_desktop()
        page = self.join_page()
        self.bring_players(page)
        first_seconds = {name: len(figures(self.log_of(name, ".figures")))
                         for name in ("host", "joiner")}
        page.watch_frames()
        page_figures = self.play_a_minute(page)
        self.report_figures(first_seconds, page_figures, page.frame_gaps())
        self.host_quits(page)

    def join_second_desktop(self):
        from e2e import Display
        self.displays.append(Display())
        self.joiner = self.start_game(self.displays[1], "joiner",
                                      ["--join", f"{self.origin}#{self.code}"])
        wait_until(lambda: "in room" in self.joiner.output(), PATIENCE,
                   "the second desktop game to get into the room")

    def join_page(self):
        page = self.open(f"#{self.code}")
        wait_until(lambda: f"Room {self.code}: you and 2 others" in page.line(), PATIENCE,
                   "the page's line to show the room and both desktop games")
        return page

    def bring_players(self, page):
        """A computer player on each desktop, a keyboard player in the page: each seat is seen
        taken in the page before the next is claimed."""
        claims = [(lambda: self.host.key("ctrl+1"), (0, True)),
                  (lambda: self.joiner.key("ctrl+2"), (1, True)),
                  (lambda: page.keys(PAGE_JOIN), (2, False))]
        for claim, hero in claims:
            claim()
            wait_until(lambda: hero in page.heroes(), PATIENCE, f"the hero {hero} in the page")

    def play_a_minute(self, page):
        """Steers the page's player back and forth until the three peers have confirmed a minute
        of the same round alike; returns the page's figures, one a second."""
        target = PLAY_SECONDS * TICKS_PER_SECOND
        sampled = []
        last_sample = [time.time()]

        def agreeing_minute():
            page.steer(rightwards=int(time.time() * 2) % 2 == 0)  # a turn every half second
            if time.time() - last_sample[0] >= 1:
                last_sample[0] = time.time()
                sampled.append(page.figures())
            host = checksums(self.log_of("host", ".sums"))
            joiner = checksums(self.log_of("joiner", ".sums"))
            browser = page.sums()
            shared = set(host) & set(joiner) & set(browser)
            differing = sorted(k for k in shared if not host[k] == joiner[k] == browser[k])
            self.assertEqual(differing[:5], [], "(round, tick) whose confirmed states differ")
            return any(tick >= target for _, tick in shared)

        wait_until(agreeing_minute, PLAY_SECONDS * 2 + PATIENCE, "a minute confirmed alike")
        heroes = page.heroes()
        self.assertEqual([p for p, computer in heroes if computer], [0, 1], heroes)
        self.assertEqual([m for level, m in page.browser.console() if level == "SEVERE"], [])
        return [(f["roundTripMs"], f["inputDelay"], f["rollback"], f["resimulationMs"])
                for f in sampled if f]

    def report_figures(self, first_seconds, page_figures, frame_gaps):
        """Each peer's round trip, input delay, rollback depth and re-simulation time over the
        minute, and how steadily the page drew, printed for the record; the delay and the depth
        within their bounds."""
        peers = {name: figures(self.log_of(name, ".figures"))[first_seconds[name]:]
                 for name in ("host", "joiner")}
        peers["page"] = page_figures
        for name, seconds in peers.items():
            print(f"{name}: {summary(seconds)}")
            self.assertGreater(len(seconds), PLAY_SECONDS // 2, f"{name}: too few figures")
            self.assertTrue(any(t >= 0 for t, _, _, _ in seconds), f"{name}: no round trip")
            for _, delay, depth, _ in seconds:
                self.assertTrue(0 <= delay <= MOST_INPUT_DELAY, f"{name}: input delay {delay}")
                self.assertTrue(0 <= depth <= MOST_ROLLBACK_TICKS, f"{name}: rollback {depth}")
        if frame_gaps:
            print(f"page frames: {len(frame_gaps)}, median {frame_gaps[len(frame_gaps) // 2]:.1f} "
                  f"ms apart, longest {frame_gaps[-1]:.0f} ms, "
                  f"{sum(1 for gap in frame_gaps if gap > 100)} over 100 ms")

    def host_quits(self, page):
        """The host quits: its relay goes with it; the second desktop and the page each say so
        and play on alone."""
        self.host.close()
        self.host = None
        told = wait_until(lambda: re.search(r"online: (Lost the room|The host|The room).*",
                                            self.joiner.output()),
                          PATIENCE, "the second desktop to say the host's relay has gone")
        print(f"after the host quit, the second desktop says: {told.group(0)!r}")

        def left_line():
            line = page.line()
            return (page.room() or {}).get("phase") == "left" and "Room" not in line and line
        line = wait_until(left_line, PATIENCE, "the page to say the host's relay has gone")
        print(f"after the host quit, the page says: {line!r}")
        self.assertIsNone(self.joiner.proc.poll(), "the second desktop ended with the host")
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
