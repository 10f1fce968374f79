#!/usr/bin/env python3
"""Measures zindle-relay under emulated rooms: starts a relay on loopback, lets
zindle-relay-load fill it (by default 500 rooms of four peers, each sending 60 messages a
second), and prints the trip through the relay (median, 99th percentile), the relay's share of
one processor while loaded, and its resident memory per room.

usage: measure_relay.py [--build build/release] [--rooms 500] [--peers 4] [--rate 60]
                        [--seconds 30] [--threads 2]
"""
import argparse
import os
import socket
import subprocess
import sys
import time

TICKS = os.sysconf("SC_CLK_TCK")
PAGE = os.sysconf("SC_PAGE_SIZE")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime, stime


def resident_bytes(pid):
    with open(f"/proc/{pid}/statm") as f:
        return int(f.read().split()[1]) * PAGE


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build/release")
    parser.add_argument("--rooms", type=int, default=500)
    parser.add_argument("--peers", type=int, default=4)
    parser.add_argument("--rate", type=float, default=60)
    parser.add_argument("--seconds", type=float, default=30)
    parser.add_argument("--threads", type=int, default=2, help="of the emulated peers")
    args = parser.parse_args()

    port = free_port()
    relay = subprocess.Popen(
        [os.path.join(args.build, "zindle-relay"), "--address", "127.0.0.1", "--port", str(port),
         "--per-address", str(args.rooms * args.peers + 16)],
        stderr=subprocess.DEVNULL)
    try:
        time.sleep(0.5)
        idle_memory = resident_bytes(relay.pid)
        load = subprocess.Popen(
            [os.path.join(args.build, "zindle-relay-load"), "--port", str(port),
             "--rooms", str(args.rooms), "--peers", str(args.peers), "--rate", str(args.rate),
             "--seconds", str(args.seconds), "--threads", str(args.threads)], stdout=subprocess.PIPE, text=True)
        # The sending starts once every peer is in its room; measure the middle of the run.
        setup_guess = 3 + args.rooms * args.peers / 2000
        time.sleep(setup_guess + args.seconds * 0.2)
        cpu_start, wall_start = cpu_seconds(relay.pid), time.monotonic()
        peak_memory = resident_bytes(relay.pid)
        time.sleep(args.seconds * 0.5)
        cpu_used, wall = cpu_seconds(relay.pid) - cpu_start, time.monotonic() - wall_start
        peak_memory = max(peak_memory, resident_bytes(relay.pid))
        report, _ = load.communicate(timeout=args.seconds + 120)
        print(report, end="")
        if load.returncode != 0:
            sys.exit("zindle-relay-load failed")
        # The cost of a message, whatever the machine's other load let the run reach: the
        # relay's whole processor time over the messages it read and wrote.
        words = report.split()
        read = int(words[words.index("sent") + 1])
        written = int(words[words.index("received") + 1].rstrip(","))
        print(f"relay processor time: {cpu_seconds(relay.pid):.2f} s in all, "
              f"{1e6 * cpu_seconds(relay.pid) / max(1, read + written):.2f} us per message "
              f"read or written ({read} read, {written} written)")
        print(f"relay processor share: {100 * cpu_used / wall:.1f} % of one core "
              f"(over {wall:.1f} s of the run)")
        print(f"relay memory: {idle_memory / 2**20:.1f} MiB idle, {peak_memory / 2**20:.1f} MiB "
              f"loaded, {(peak_memory - idle_memory) / args.rooms / 1024:.1f} KiB per room")
    finally:
        relay.terminate()
        relay.wait(timeout=10)


if __name__ == "__main__":
    main()
