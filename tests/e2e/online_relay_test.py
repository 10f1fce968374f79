"""A room on a standalone relay: zindle-relay runs on loopback, `zindle --host --relay URL`
opens its room there and prints a link that names that relay, a second game joins by the link,
both log the same checksum for every confirmed second, and the relay's /metrics counts the room,
its two peers and their messages. Once the relay is gone, `--join` of the stale link names the
relay it could not reach, and `--relay` with something that is no relay's address is one line and
status 2 before any window."""

import http.client
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

from e2e import Display, Game, check, log, main_with_own_displays, wait_for
from online_log import LINK, agreeing, checksums

PATIENCE = 20  # s to wait for what should come within a couple of seconds
LISTENING = re.compile(r"listening on 127\.0\.0\.1:(\d+)")


def metrics(port):
    """The relay's unlabelled samples, by name without the zindle_relay_ prefix."""
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
    try:
        connection.request("GET", "/metrics")
        response = connection.getresponse()
        check(response.status == 200, "/metrics answered %d" % response.status)
        text = response.read().decode()
    finally:
        connection.close()
    return {m.group(1): int(m.group(2))
            for m in re.finditer(r"^zindle_relay_(\w+) (\d+)$", text, re.MULTILINE)}


def start_relay(program, log_path):
    log_file = open(log_path, "w+")
    relay = subprocess.Popen([program, "--address", "127.0.0.1", "--port", "0"],
                             stderr=log_file)

    def port():
        log_file.seek(0)
        found = LISTENING.search(log_file.read())
        return int(found.group(1)) if found else 0
    check(wait_for(port, PATIENCE), "the relay did not start listening")
    return relay, port()


def refused_addresses(executable, display):
    for address in ["nonsense", "http://127.0.0.1:9/#22TW3L7FBGLEP", "ftp://127.0.0.1:9"]:
        done = subprocess.run([executable, "--host", "--relay", address], capture_output=True,
                              text=True, timeout=30, env=display.env())
        lines = done.stderr.strip().splitlines()
        check(done.returncode == 2 and len(lines) == 1 and "relay's address" in lines[0],
              "--relay %s: status %d, %r" % (address, done.returncode, done.stderr))


def online_relay(executable):
    folder = tempfile.mkdtemp(prefix="zindle-relay-room-")
    host_log = os.path.join(folder, "host.sums")
    joiner_log = os.path.join(folder, "joiner.sums")
    displays = [Display(), Display()]
    games = []
    relay = None
    try:
        refused_addresses(executable, displays[0])
        relay_program = os.path.join(os.path.dirname(executable), "zindle-relay")
        relay, port = start_relay(relay_program, os.path.join(folder, "relay.log"))
        host = Game(displays[0], executable,
                    ["--host", "--relay", "http://127.0.0.1:%d" % port, "--windowed"],
                    extra_env={"ZINDLE_CHECKSUM_LOG": host_log})
        games.append(host)
        found = wait_for(lambda: LINK.search(host.output()), PATIENCE)
        check(found, "the host printed no room link:\n" + host.output())
        log("room link: " + found.group(1))
        check(found.group(1).startswith("http://127.0.0.1:%d/#" % port),
              "the link does not name the relay: " + found.group(1))
        joiner = Game(displays[1], executable, ["--join", found.group(1), "--windowed"],
                      extra_env={"ZINDLE_CHECKSUM_LOG": joiner_log})
        games.append(joiner)
        check(wait_for(lambda: "in room" in joiner.output(), PATIENCE),
              "the joiner did not get into the room:\n" + joiner.output())
        host.key("space")
        time.sleep(0.5)
        joiner.key("e")

        common = wait_for(lambda: (lambda n: n if n >= 3 else 0)(
            agreeing(checksums(host_log), checksums(joiner_log))), PATIENCE)
        check(common >= 3, "fewer than 3 confirmed seconds in common (%d)" % common)
        log("confirmed seconds logged alike by both games: %d" % common)

        figures = metrics(port)
        log("relay metrics: %s" % figures)
        check(figures["rooms"] == 1 and figures["peers"] == 2,
              "the relay holds %d rooms and %d peers" % (figures["rooms"], figures["peers"]))
        check(figures["messages_received_total"] > 60 and figures["messages_sent_total"] > 60,
              "the relay counted too few messages: %s" % figures)

        for game in games:
            game.close()
        games.clear()
        relay.send_signal(signal.SIGTERM)
        check(relay.wait(timeout=10) == 0, "the relay did not end cleanly on SIGTERM")
        stale = Game(displays[1], executable, ["--join", found.group(1), "--windowed"])
        games.append(stale)
        named = "cannot reach the relay at 127.0.0.1:%d" % port
        check(wait_for(lambda: named in stale.output(), PATIENCE),
              "a stale link did not name its relay:\n" + stale.output())
        check(stale.proc.poll() is None, "the game ended when its relay was gone")
    except Exception:
        for game in games:
            log("--- output of %s:\n%s" % (" ".join(game.proc.args[1:3]), game.output()))
        raise
    finally:
        for game in games:
            game.close()
        if relay and relay.poll() is None:
            relay.kill()
            relay.wait()
        for display in displays:
            display.close()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main_with_own_displays(online_relay)
