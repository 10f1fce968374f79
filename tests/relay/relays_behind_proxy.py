#!/usr/bin/env python3
"""Two relays behind HAProxy on loopback: rooms open on either relay, guests reach their room
through the letter its code starts with, and every message of a short exchange arrives. Each
relay's /metrics counted its share and its /healthz answers, while the proxy refuses both. Started
as root, each relay must run as an ordinary user; on SIGTERM each must end cleanly.

usage: relays_behind_proxy.py RELAY LOAD CONFIG_TEMPLATE
"""
import http.client
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time

ROOMS = 6
TIMEOUT_S = 60


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_port(port, process, what):
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        if process.poll() is not None:
            sys.exit(f"{what} ended early with status {process.returncode}")
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.2):
                return
        except OSError:
            time.sleep(0.05)
    sys.exit(f"{what} did not listen on port {port}")


def http_get(port, path):
    """The status and body of a GET on loopback."""
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=5)
    try:
        connection.request("GET", path)
        response = connection.getresponse()
        return response.status, response.read().decode("utf-8", "replace")
    finally:
        connection.close()


def user_id(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("Uid:"):
                return int(line.split()[2])  # effective
    return None


def main():
    relay, load, template = sys.argv[1:4]
    haproxy = shutil.which("haproxy") or "/usr/sbin/haproxy"
    if not os.path.exists(haproxy):
        print("haproxy not installed: skipped")
        return 77
    work = tempfile.mkdtemp(prefix="zindle-proxy-")
    processes = []
    try:
        ports = {"PROXY_PORT": free_port(), "RELAY_A_PORT": free_port(),
                 "RELAY_B_PORT": free_port()}
        with open(template) as f:
            config = f.read()
        for name, port in ports.items():
            config = config.replace("${" + name + "}", str(port))
        config = config.replace("${BIND}", "127.0.0.1")
        config_path = os.path.join(work, "haproxy.cfg")
        with open(config_path, "w") as f:
            f.write(config)
        logs = {}
        for shard, key in ((0, "RELAY_A_PORT"), (1, "RELAY_B_PORT")):
            log = open(os.path.join(work, f"relay{shard}.log"), "w+")
            logs[shard] = log
            process = subprocess.Popen(
                [relay, "--address", "127.0.0.1", "--port", str(ports[key]), "--shard", str(shard),
                 "--per-address", "1000"], stderr=log)
            processes.append(process)
            wait_for_port(ports[key], process, f"relay {shard}")
        if os.geteuid() == 0:
            for process in processes:
                if user_id(process.pid) == 0:
                    sys.exit("a relay started as root still runs as root")
        proxy = subprocess.Popen([haproxy, "-db", "-f", config_path])
        processes.append(proxy)
        wait_for_port(ports["PROXY_PORT"], proxy, "haproxy")
        result = subprocess.run(
            [load, "--port", str(ports["PROXY_PORT"]), "--rooms", str(ROOMS), "--peers", "3",
             "--rate", "30", "--seconds", "2", "--check"], timeout=TIMEOUT_S)
        if result.returncode != 0:
            sys.exit("the exchange through the proxy lost messages")
        # Each relay counted its share and answers its health check; the proxy hides both.
        for key in ("RELAY_A_PORT", "RELAY_B_PORT"):
            status, body = http_get(ports[key], "/metrics")
            received = re.search(r"^zindle_relay_messages_received_total (\d+)$", body, re.M)
            if status != 200 or not received or int(received.group(1)) == 0:
                sys.exit(f"relay on {key}: /metrics answered {status}:\n{body[:500]}")
            if http_get(ports[key], "/healthz")[0] != 200:
                sys.exit(f"relay on {key}: /healthz is not 200")
        for path in ("/metrics", "/healthz"):
            if http_get(ports["PROXY_PORT"], path)[0] != 403:
                sys.exit(f"the proxy passes {path} on to a relay")
        relays, proxy_process = processes[:2], processes[2]
        proxy_process.terminate()
        proxy_process.wait(timeout=10)
        for process in relays:
            process.terminate()
        for process in relays:
            if process.wait(timeout=10) != 0:
                sys.exit(f"a relay ended with status {process.returncode} on SIGTERM")
        opened = {}
        joined = {}
        for shard, log in logs.items():
            log.seek(0)
            text = log.read()
            opened[shard] = text.count("opened room")
            joined[shard] = text.count("joined room")
        print(f"rooms opened per relay {opened}, joins per relay {joined}")
        # The proxy shares the opens out; each guest must have reached its host's relay.
        if min(opened.values()) == 0:
            sys.exit("one relay got no rooms: opens are not shared out")
        for shard in logs:
            if joined[shard] != 2 * opened[shard]:
                sys.exit(f"relay {shard}: {joined[shard]} joins for {opened[shard]} rooms")
        return 0
    finally:
        for process in processes:
            if process.poll() is None:
                process.kill()
                process.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
