#!/usr/bin/env python3
"""Measures zindle-relay against two kinds of hostile client, on loopback only.

  idle-readers: N peers that ask for an error answer as fast as the relay lets them and never
    read a byte. Prints the relay's resident memory before, at its peak, and once the peers are
    gone, how many of them it closed, and how many lines and bytes of log it wrote.
  descriptors: the relay under a descriptor limit (default: soft and hard 1024), then more
    connections than that, held open. Prints the relay's share of a processor over a few
    seconds and its log lines meanwhile.

usage: measure_relay_hostile.py idle-readers [--build build/release] [--peers 8] [--seconds 10]
       measure_relay_hostile.py descriptors [--build build/release] [--connections 1100]
                                            [--limit 1024] [--hard-limit N] [--seconds 3]
"""
import argparse
import os
import resource
import socket
import subprocess
import sys
import tempfile
import threading
import time

TICKS = os.sysconf("SC_CLK_TCK")
PAGE = os.sysconf("SC_PAGE_SIZE")
LEAVE = bytes([1, 5])  # a Leave outside any room: the relay answers with a 3-byte error


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def resident_mb(pid):
    with open(f"/proc/{pid}/statm") as f:
        return int(f.read().split()[1]) * PAGE / 1e6


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start_relay(build, port, log, limits=None):
    def lower_limit():
        if limits:
            resource.setrlimit(resource.RLIMIT_NOFILE, limits)
    relay = subprocess.Popen(
        [os.path.join(build, "zindle-relay"), "--address", "127.0.0.1", "--port", str(port),
         "--per-address", "100000"], stderr=log, preexec_fn=lower_limit)
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.2):
                return relay
        except OSError:
            time.sleep(0.05)
    relay.kill()
    sys.exit("the relay did not listen")


def frame(payload):
    # A masked binary WebSocket frame, as a client must send; a zero mask keeps it plain.
    assert len(payload) < 126
    return bytes([0x82, 0x80 | len(payload), 0, 0, 0, 0]) + payload


def websocket(port):
    s = socket.create_connection(("127.0.0.1", port), timeout=5)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
    s.sendall(b"GET /ws HTTP/1.1\r\nHost: a\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
              b"Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n")
    answer = b""
    while b"\r\n\r\n" not in answer:
        chunk = s.recv(1)
        if not chunk:
            raise OSError("no handshake")
        answer += chunk
    return s


def log_size(log):
    log.flush()
    with open(log.name, "rb") as f:
        data = f.read()
    return data.count(b"\n"), len(data)


def idle_readers(args):
    port = free_port()
    with tempfile.NamedTemporaryFile() as log:
        relay = start_relay(args.build, port, log)
        try:
            time.sleep(0.3)
            before = resident_mb(relay.pid)
            peers = [websocket(port) for _ in range(args.peers)]
            # Just under the relay's byte budget (each message counts 64 bytes at least, 256 KiB
            # a second): 3,500 answers a second, each queued for a peer that never reads them.
            burst = frame(LEAVE) * 35
            closed = [0]
            stop = time.monotonic() + args.seconds

            def flood(s):
                s.settimeout(1)
                while time.monotonic() < stop:
                    try:
                        s.sendall(burst)
                    except socket.timeout:
                        continue
                    except OSError:
                        closed[0] += 1
                        return
                    time.sleep(0.01)

            threads = [threading.Thread(target=flood, args=(s,)) for s in peers]
            for t in threads:
                t.start()
            peak = before
            while time.monotonic() < stop:
                peak = max(peak, resident_mb(relay.pid))
                time.sleep(0.1)
            for t in threads:
                t.join()
            for s in peers:
                s.close()
            time.sleep(3)
            after = resident_mb(relay.pid)
            lines, size = log_size(log)
            print(f"peers {args.peers}, {args.seconds:.0f} s: relay RSS {before:.1f} MB before, "
                  f"peak {peak:.1f} MB, {after:.1f} MB 3 s after they left; "
                  f"{closed[0]} closed by the relay; log {lines} lines, {size} bytes")
        finally:
            relay.terminate()
            relay.wait(10)


def descriptors(args):
    port = free_port()
    hard = args.hard_limit or args.limit
    # This process holds the connections: it needs more descriptors than the relay gets.
    mine = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (min(mine[1], args.connections + 256), mine[1]))
    with tempfile.NamedTemporaryFile() as log:
        relay = start_relay(args.build, port, log, (args.limit, hard))
        try:
            held = []
            for _ in range(args.connections):
                try:
                    s = socket.socket()
                    s.setblocking(False)
                    s.connect_ex(("127.0.0.1", port))
                    held.append(s)
                except OSError:
                    break
            time.sleep(0.5)
            lines_before, _ = log_size(log)
            start = cpu_seconds(relay.pid)
            time.sleep(args.seconds)
            used = cpu_seconds(relay.pid) - start
            lines, _ = log_size(log)
            print(f"{len(held)} connections against soft {args.limit} / hard {hard}: relay used "
                  f"{100 * used / args.seconds:.0f} % of a core over {args.seconds:.0f} s, "
                  f"{lines - lines_before} log lines meanwhile")
            for s in held:
                s.close()
        finally:
            relay.terminate()
            relay.wait(10)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("mode", choices=["idle-readers", "descriptors"])
    parser.add_argument("--build", default="build/release")
    parser.add_argument("--peers", type=int, default=8)
    parser.add_argument("--seconds", type=float, default=None)
    parser.add_argument("--connections", type=int, default=1100)
    parser.add_argument("--limit", type=int, default=1024)
    parser.add_argument("--hard-limit", type=int, default=0)
    args = parser.parse_args()
    if args.mode == "idle-readers":
        args.seconds = args.seconds or 10
        idle_readers(args)
    else:
        args.seconds = args.seconds or 3
        descriptors(args)


if __name__ == "__main__":
    main()
