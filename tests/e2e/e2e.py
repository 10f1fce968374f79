"""Helpers for driving the real game in a virtual X display: start Xvfb, start the game with
SDL's disk audio driver, send keys with xdotool, and read the screen with ImageMagick."""

import os
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time

WINDOW_TITLE = "Zindle vs Pellorin"
SKY = (0x85, 0xE3, 0xFF)
SCREEN = (480, 320)


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def log(message):
    print(message, flush=True)


def place_program(executable, folder):
    """Puts the game into folder as folder/zindle (it finds its data beside itself) and returns
    the path. A hard link where the file system allows: a copy is a file open for writing while
    it is written, and a child forked meanwhile by another thread inherits that descriptor until
    its own exec, so the copy's exec fails with ETXTBSY. Where a copy is needed, prepare every
    folder before starting any thread that runs programs."""
    game = os.path.join(folder, "zindle")
    try:
        os.link(os.path.realpath(executable), game)
    except OSError:
        shutil.copy2(executable, game)
    return game


def rss_mb(pid):
    """A process's resident memory now, in MB; 0 once it has gone."""
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1]) / 1024
    except OSError:
        pass
    return 0


def cap_address_space(megabytes):
    """For a child about to start: a hard stop on its address space, so that a run that grows
    without end fails its test instead of the machine. 0 or less sets no cap."""
    if megabytes > 0:
        limit = megabytes << 20
        resource.setrlimit(resource.RLIMIT_AS, (limit, limit))


class Picture:
    """An RGB screen capture."""

    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, data

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def count(self, rgb):
        needle = bytes(rgb)
        return sum(1 for i in range(0, len(self.data), 3) if self.data[i:i + 3] == needle)

    def distinct_colours(self):
        return len({self.data[i:i + 3] for i in range(0, len(self.data), 3)})

    def difference(self, other, box=None):
        """Share of pixels that differ, 0 to 1, within box (left, top, right, bottom)."""
        check((self.width, self.height) == (other.width, other.height), "captures differ in size")
        left, top, right, bottom = box or (0, 0, self.width, self.height)
        changed = 0
        for y in range(top, bottom):
            start, end = (y * self.width + left) * 3, (y * self.width + right) * 3
            a, b = self.data[start:end], other.data[start:end]
            if a != b:
                changed += sum(1 for i in range(0, len(a), 3) if a[i:i + 3] != b[i:i + 3])
        return changed / ((right - left) * (bottom - top))


def parse_ppm(raw):
    # P6, width height, maxval, one whitespace byte, then the pixels.
    fields, pos = [], 0
    while len(fields) < 4:
        while raw[pos:pos + 1].isspace():
            pos += 1
        if raw[pos:pos + 1] == b"#":
            pos = raw.index(b"\n", pos)
            continue
        end = pos
        while not raw[end:end + 1].isspace():
            end += 1
        fields.append(raw[pos:end])
        pos = end
    check(fields[0] == b"P6" and fields[3] == b"255", "capture is not an 8-bit PPM")
    width, height = int(fields[1]), int(fields[2])
    data = raw[pos + 1:pos + 1 + width * height * 3]
    check(len(data) == width * height * 3, "capture is truncated")
    return Picture(width, height, data)


class Display:
    """A private Xvfb server; the number is chosen by the server itself (-displayfd)."""

    def __init__(self, size=SCREEN):
        read_end, write_end = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % size,
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        deadline = time.time() + 20
        while not number.endswith(b"\n") and time.time() < deadline:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        check(number.strip().isdigit(), "Xvfb did not start")
        self.name = ":" + number.strip().decode()

    def env(self):
        env = dict(os.environ)
        env["DISPLAY"] = self.name
        return env

    def capture(self):
        raw = subprocess.run(["import", "-display", self.name, "-window", "root", "-depth", "8",
                              "ppm:-"], check=True, capture_output=True, timeout=30).stdout
        return parse_ppm(raw)

    def close(self):
        self.proc.terminate()
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()


class Game:
    """The real game in a display, its sound going to a file."""

    def __init__(self, display, executable, args=(), cwd=None, extra_env=None, limit=None):
        """extra_env: variables added to the game's environment; limit: run in the child
        before the game starts (resource limits)."""
        self.display = display
        self.dir = tempfile.mkdtemp(prefix="zindle-e2e-")
        self.audio = os.path.join(self.dir, "audio.raw")
        env = display.env()
        env["SDL_AUDIODRIVER"] = "disk"
        env["SDL_DISKAUDIOFILE"] = self.audio
        # The game records every match and keeps its settings: in this run's folder, not the
        # tester's home.
        env.setdefault("XDG_DATA_HOME", self.dir)
        env.setdefault("XDG_CONFIG_HOME", self.dir)
        env.update(extra_env or {})
        self.log = open(os.path.join(self.dir, "output.txt"), "w+b")
        self.proc = subprocess.Popen([executable] + list(args), env=env, cwd=cwd,
                                     stdout=self.log, stderr=subprocess.STDOUT,
                                     preexec_fn=limit)
        try:
            self.window = self._wait_for_window()
        except Failure:
            self.close()  # a game that never showed a window does not outlive its test
            raise

    def _wait_for_window(self, timeout=20):
        deadline = time.time() + timeout
        while time.time() < deadline:
            check(self.proc.poll() is None,
                  "the game ended before its window appeared:\n" + self.output())
            found = subprocess.run(["xdotool", "search", "--name", WINDOW_TITLE],
                                   env=self.display.env(), capture_output=True, text=True)
            ids = found.stdout.split()
            if ids:
                return ids[0]
            time.sleep(0.1)
        raise Failure("no window named '%s' within %d s" % (WINDOW_TITLE, timeout))

    def xdotool(self, *args, check=True):
        subprocess.run(["xdotool"] + list(args), env=self.display.env(), check=check, timeout=10,
                       stderr=None if check else subprocess.DEVNULL)

    def key(self, name, check=True):
        """Sends a key; with check False a window that has just gone is no error."""
        self.xdotool("key", "--window", self.window, name, check=check)

    def window_name(self):
        return subprocess.run(["xdotool", "getwindowname", self.window], env=self.display.env(),
                              capture_output=True, text=True, check=True).stdout.strip()

    def window_size(self):
        out = subprocess.run(["xdotool", "getwindowgeometry", "--shell", self.window],
                             env=self.display.env(), capture_output=True, text=True,
                             check=True).stdout
        values = dict(line.split("=", 1) for line in out.split())
        return int(values["WIDTH"]), int(values["HEIGHT"])

    def audio_size(self):
        try:
            return os.path.getsize(self.audio)
        except OSError:
            return 0

    def audio_since(self, offset):
        with open(self.audio, "rb") as f:
            f.seek(offset)
            return f.read()

    def peak_memory_mb(self):
        """The process's peak resident memory so far (VmHWM), in MB."""
        with open("/proc/%d/status" % self.proc.pid) as status:
            for line in status:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1]) / 1024
        return 0

    def wait_exit(self, timeout):
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def output(self):
        self.log.flush()
        self.log.seek(0)
        return self.log.read().decode(errors="replace")

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self.log.close()
        shutil.rmtree(self.dir, ignore_errors=True)


def wait_for(probe, timeout, interval=0.1):
    """Calls probe until it returns something true or timeout seconds pass; returns the last
    result. Waiting on what the screen shows, rather than sleeping a fixed time, keeps the
    tests steady on a busy machine."""
    deadline = time.time() + timeout
    while True:
        result = probe()
        if result or time.time() >= deadline:
            return result
        time.sleep(interval)


def not_silent(samples):
    """True when the raw audio holds more than a constant value (silence is all one value,
    zero for signed and float formats, 0x80 for unsigned bytes)."""
    return len(samples) > 0 and len(set(samples[:1 << 20])) > 4


def run(test, executable, screen=SCREEN):
    display = Display(screen)
    try:
        test(display, executable)
    except Failure as failure:
        log("FAIL: %s" % failure)
        return 1
    finally:
        display.close()
    log("PASS")
    return 0


def main_with_own_displays(test):
    """For a test that opens its own displays (several games at once): test(executable)."""
    if len(sys.argv) != 2:
        print("usage: %s PATH/TO/zindle" % sys.argv[0])
        sys.exit(2)
    try:
        test(sys.argv[1])
    except Failure as failure:
        log("FAIL: %s" % failure)
        sys.exit(1)
    log("PASS")


def main(test, screen=SCREEN):
    if len(sys.argv) != 2:
        print("usage: %s PATH/TO/zindle" % sys.argv[0])
        sys.exit(2)
    sys.exit(run(test, sys.argv[1], screen))
