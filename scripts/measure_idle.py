"""Start-up and idle cost of the real game in a virtual display: seconds from launch until
the window exists and until its first picture differs from an empty screen, and the share of
one processor the game uses while it sits on the title screen.

usage: measure_idle.py PATH/TO/zindle [IDLE_SECONDS]"""

import json
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from e2e import Display, Game  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime + stime


def main():
    executable = sys.argv[1]
    idle = float(sys.argv[2]) if len(sys.argv) > 2 else 10.0
    display = Display()
    try:
        empty = display.capture()
        start = time.time()
        game = Game(display, executable)
        window = time.time() - start
        while display.capture().difference(empty) < 0.5 and time.time() - start < 30:
            time.sleep(0.02)
        picture = time.time() - start
        try:
            time.sleep(1)  # let loading settle before measuring the idle title
            before, t0 = cpu_seconds(game.proc.pid), time.time()
            time.sleep(idle)
            used, elapsed = cpu_seconds(game.proc.pid) - before, time.time() - t0
            game.key("Escape")
            game.wait_exit(10)
        finally:
            game.close()
    finally:
        display.close()
    print(json.dumps({"secondsToWindow": round(window, 3),
                      "secondsToFirstPicture": round(picture, 3),
                      "titleIdleCpuPercent": round(100 * used / elapsed, 2),
                      "idleSecondsMeasured": round(elapsed, 2)}))


if __name__ == "__main__":
    main()
