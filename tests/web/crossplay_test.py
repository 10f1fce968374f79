#!/usr/bin/python3
"""Cross-play on loopback: a relay serving the web build, a headless peer of the real game that
opens a room, and the page in headless Chromium that joins it from its link. Both seats go to the
computer; after a minute of play both must report the same checksum for every confirmed second
they share. Then the page's line for a room that does not exist, a link with no room code, and
the relay going away. Every wait is bounded.

    crossplay_test.py --web build/web --relay build/release/zindle-relay \\
                      --peer build/release/zindle-test-net-peer

Exits 77 (skipped) when there is no web build or no browser.
"""
import argparse
import os
import queue
import subprocess
import sys
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

ARGS = None
SKIP = 77
PLAY_SECONDS = float(os.environ.get("ZINDLE_CROSSPLAY_SECONDS", "60"))
TICKS_PER_SECOND = 60


class Lines:
    """A process's output lines, read on a thread so that waits can be bounded."""

    def __init__(self, stream):
        self.lines = queue.Queue()
        self.all = []
        threading.Thread(target=self._read, args=(stream,), daemon=True).start()

    def _read(self, stream):
        for line in stream:
            self.lines.put(line.rstrip("\n"))

    def until(self, test, timeout, what):
        deadline = time.time() + timeout
        while time.time() < deadline:
            try:
                line = self.lines.get(timeout=max(0.01, deadline - time.time()))
            except queue.Empty:
                break
            self.all.append(line)
            found = test(line)
            if found:
                return found
        raise AssertionError(f"timed out waiting for {what}; saw {self.all[-5:]}")

    def drain(self):
        while not self.lines.empty():
            self.all.append(self.lines.get())
        return self.all


def start_relay():
    relay = subprocess.Popen([ARGS.relay, "--web", ARGS.web, "--address", "127.0.0.1",
                              "--port", "0"], stderr=subprocess.PIPE, text=True)
    log = Lines(relay.stderr)
    port = log.until(lambda line: "listening on" in line and int(line.rsplit(":", 1)[1]),
                     10, "the relay to listen")
    return relay, port


def stop(process):
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


class Page:
    def __init__(self, url):
        from browser import Browser
        self.browser = Browser()
        self.browser.driver.get(url)

    def js(self, source):
        return self.browser.script(source)

    def wait(self, condition, timeout, what):
        deadline = time.time() + timeout
        while time.time() < deadline:
            value = self.js("try { return (" + condition + "); } catch (e) { return null; }")
            if value:
                return value
            time.sleep(0.1)
        raise AssertionError(f"timed out waiting for {what}: {condition}")

    def line(self):
        return self.js("const e = document.getElementById('room'); return e.hidden ? '' : e.textContent")

    def close(self):
        self.browser.close()


class CrossPlayTest(unittest.TestCase):
    def setUp(self):
        self.relay, self.port = start_relay()
        self.pages = []

    def tearDown(self):
        for page in self.pages:
            page.close()
        stop(self.relay)

    def open(self, query):
        page = Page(f"http://127.0.0.1:{self.port}/index.html{query}")
        self.pages.append(page)
        return page

    def test_page_and_headless_peer_confirm_the_same_states(self):
        peer = subprocess.Popen([ARGS.peer, str(self.port), str(PLAY_SECONDS + 15)],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        try:
            out = Lines(peer.stdout)
            room = out.until(lambda line: line.startswith("room ") and line.split()[1], 20,
                             "the peer's room")
            page = self.open(f"?room={room.lower()}")
            page.wait("window.zindle.room() && window.zindle.room().playing", 60,
                      "the page to start the match")
            self.assertIn(f"Room {room}: you and 1 other", page.line())
            page.js("window.zindle.handSeatToComputer()")
            target = PLAY_SECONDS * TICKS_PER_SECOND
            page.wait(f"window.zindle.room().checksums.some(([tick]) => tick >= {target})",
                      PLAY_SECONDS * 2 + 30, "a minute of confirmed play in the page")
            out.until(lambda line: line.startswith("confirmed ") and int(line.split()[1]) >= target,
                      60, "a minute of confirmed play in the peer")
            page_sums = {tick: int(sum) for tick, sum in page.js("return window.zindle.room().checksums")}
            peer_sums = {int(line.split()[1]): int(line.split()[2])
                         for line in out.drain() if line.startswith("confirmed ")}
            shared = sorted(set(page_sums) & set(peer_sums))
            self.assertTrue(shared and shared[-1] >= target, f"shared ticks {shared[-3:]}")
            mismatched = [t for t in shared if page_sums[t] != peer_sums[t]]
            self.assertEqual(mismatched, [], "ticks whose confirmed states differ")
            heroes = page.js("return window.zindle.state().heroes")
            self.assertEqual(sorted(h["player"] for h in heroes if h["computer"]), [0, 1])
            self.assertEqual(peer.wait(timeout=40), 0, peer.stderr.read())
            page.wait("document.getElementById('room').textContent.includes('nobody else')", 10,
                      "the page to see the peer go")
            stop(self.relay)
            # A relay told to stop says so; one that simply vanished is gone.
            page.wait("['the relay is stopping', 'the relay is gone'].includes("
                      "document.getElementById('room').textContent)", 10,
                      f"the page to see the relay go (it says {page.line()!r})")
            self.assertFalse(page.js("return window.zindle.room().playing"))
            self.assertIsNotNone(page.js("return window.zindle.state()"))
            self.assertEqual([m for level, m in page.browser.console() if level == "SEVERE"], [])
        finally:
            stop(peer)

    def test_rooms_that_cannot_be_joined_get_a_line(self):
        cases = [
            ("?room=23456789ABCDE", "this room does not exist (or is gone)"),
            ("#ZZZZZZZZZZZZZ", "this room does not exist (or is gone)"),
            ("?room=%3Cscript%3E", "This link names no room: its code is not one the game makes."),
        ]
        for query, line in cases:
            with self.subTest(query=query):
                page = self.open(query)
                page.wait(f"document.getElementById('room').textContent === {line!r}", 30,
                          f"the line for {query}")
                # The page plays on by itself.
                self.assertTrue(page.js("return window.zindle.state() !== null"))


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--web", required=True)
    parser.add_argument("--relay", required=True)
    parser.add_argument("--peer", required=True)
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
