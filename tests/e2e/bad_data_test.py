"""Broken and hostile data files: the real game is started from a temporary copy of its folder
in which one asset is missing, empty, truncated or garbage, or (with --hostile) replaced by a
FIFO, a device, a folder, a sparse file far over any size limit, data that lies about what it
is, or a sound in another format (MIDI or VOC, which a sniffing loader renders to gigabytes).
Each run must either stop at once with a non-zero status and a message naming the file, or play
on (frames shown; a warning is allowed, and required for a hostile file) until it is asked to
quit. A crash, a sanitizer report, a hang, no frame in time or memory over the bound fails the
test; the memory bound is also an address-space limit, so that a regression fails instead of
taking the machine.

usage: bad_data_test.py [--hostile] PATH/TO/zindle PATH/TO/assets ASSET [ASSET...]
       bad_data_test.py --closed-folder PATH/TO/zindle PATH/TO/assets
(ASSET relative to the assets folder, e.g. gametiles.png)"""

import concurrent.futures
import os
import random
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zlib

import e2e

# s: a run still going after this long must be showing frames. Sanitizer builds start slower;
# ZINDLE_PLAY_ON_SECONDS lengthens the wait there.
PLAY_ON_SECONDS = float(os.environ.get("ZINDLE_PLAY_ON_SECONDS", "2"))
# MB of resident memory a run may reach; the sanitizer build sets more (its shadow memory).
MAX_RSS_MB = float(os.environ.get("ZINDLE_MAX_RSS_MB", "200"))
# MB of address space, a hard stop for a run that grows without end. Off (0) under
# AddressSanitizer, which reserves terabytes of address space up front.
MAX_ADDRESS_SPACE_MB = int(os.environ.get("ZINDLE_MAX_ADDRESS_SPACE_MB", "8192"))
QUIT_TIMEOUT = 10  # s after SIGTERM
# s more that a run may take, to end or to show its first frame, when the machine is so busy
# that the first deadline passes; a hung or starved run still fails after it.
GRACE_SECONDS = 10
POLL = 0.02        # s between looks at the running game
CRASH_MARKERS = ("AddressSanitizer", "runtime error:", "terminate called", "Segmentation fault",
                 "std::bad_alloc")
CLASSIC_MODES = ("missing", "empty", "truncated", "garbage")
HOSTILE_MODES = ("fifo", "device", "folder", "sparse", "mislabelled", "huge", "midi", "voc")
# What the line about a sound in another format must say it is.
FORMAT_NAMES = {"midi": "MIDI", "voc": "VOC"}


def png_chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def huge_png():
    """A valid 16384 x 16384 one-bit grey PNG: about 4 KB of file for a gigabyte of pixels."""
    side = 16384
    row = b"\0" * (1 + side // 8)
    packer = zlib.compressobj(9)
    data = b"".join(packer.compress(row) for _ in range(side)) + packer.flush()
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 1, 0,
                                                                  0, 0, 0))
            + png_chunk(b"IDAT", data) + png_chunk(b"IEND", b""))


def slow_wav():
    """6 KB of samples declared at 1 Hz: one and a half hours of sound."""
    samples = 3000
    fmt = struct.pack("<HHIIHH", 1, 1, 1, 2, 2, 16)
    body = (b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data"
            + struct.pack("<I", samples * 2) + b"\0" * (samples * 2))
    return b"RIFF" + struct.pack("<I", len(body)) + body


def vlq(value):
    """A MIDI variable-length number."""
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, 0x80 | (value & 0x7F))
        value >>= 7
    return bytes(out)


def long_midi():
    """44 bytes of MIDI: one note held for seven hours, which a sniffing loader renders whole
    (about 4.5 GB at the mixer's rate)."""
    ticks = 7 * 3600 * 2 * 96  # 96 ticks a quarter note, two quarters a second
    events = (b"\0\xff\x03\x03zvp" + b"\0\x90\x3c\x7f" + vlq(ticks) + b"\x80\x3c\0"
              + b"\0\xff\x2f\0")
    return (b"MThd" + struct.pack(">IHHH", 6, 0, 1, 96) + b"MTrk" + struct.pack(">I", len(events))
            + events)


def silent_voc():
    """3.6 KB of Creative VOC: blocks of silence at 3.9 kHz, which become 1.5 GB of sound at the
    mixer's rate."""
    header = b"Creative Voice File\x1a" + struct.pack("<HHH", 26, 0x010A, 0x1129)
    rate = 1  # the time constant of 1e6 / 255 Hz
    first = b"\x01" + struct.pack("<I", 2 + 64)[:3] + bytes([rate, 0]) + b"\x80" * 64
    silence = b"\x03" + struct.pack("<I", 3)[:3] + struct.pack("<HB", 0xFFFF, rate)
    return header + first + silence * 500 + b"\0"


def lying_data(asset):
    """Data that is not what its name says, each kind in its most expensive way."""
    if asset.endswith(".png"):
        # A 70-byte BMP header that claims 30000 x 30000 pixels.
        return (b"BM" + struct.pack("<IHHI", 70, 0, 0, 54)
                + struct.pack("<IiiHHIIiiII", 40, 30000, 30000, 1, 24, 0, 0, 0, 0, 0, 0)
                + b"\0" * 16)
    if asset.endswith(".txt"):
        # One tile line with a long name and thousands of broken fields.
        return b"N" * 2000 + b" x" * 40000 + b"\n"
    if asset.endswith(".wav"):
        return slow_wav()
    return b"GIF89a\xff\xff\xff\xff\0\0\0;"  # music: a picture


def break_file(path, asset, mode):
    """Replaces the file at path; False when the mode has nothing to say about this kind."""
    if mode == "huge" and not asset.endswith(".png"):
        return False
    if mode in FORMAT_NAMES and not asset.endswith((".wav", ".mp3")):
        return False
    data = open(path, "rb").read()
    os.remove(path)
    if mode == "missing":
        return True
    if mode == "fifo":
        os.mkfifo(path)
        return True
    if mode == "device":
        os.symlink("/dev/zero", path)
        return True
    if mode == "folder":
        os.mkdir(path)
        return True
    if mode == "sparse":
        with open(path, "wb") as f:
            f.truncate(3 << 30)  # 3 GiB, nothing on disk
        return True
    if mode == "empty":
        data = b""
    elif mode == "truncated":
        data = data[:len(data) // 2]
    elif mode == "garbage":
        rng = random.Random(os.path.basename(path))
        data = bytes(rng.getrandbits(8) for _ in range(max(len(data), 64)))
    elif mode == "mislabelled":
        data = lying_data(asset)
    elif mode == "huge":
        data = huge_png()
    elif mode == "midi":
        data = long_midi()
    elif mode == "voc":
        data = silent_voc()
    with open(path, "wb") as f:
        f.write(data)
    return True


def limit_address_space():
    e2e.cap_address_space(MAX_ADDRESS_SPACE_MB)


def watch(proc, frames_log, deadline):
    """Waits until the game ends, or the deadline passes with a frame shown (or the grace after
    it without one); returns (status or None, peak RSS in MB, whether a frame was shown, whether
    the grace was needed). A run over the memory bound is stopped being watched at once."""
    peak = 0
    while True:
        peak = max(peak, e2e.rss_mb(proc.pid))
        status = proc.poll()
        showed = os.path.exists(frames_log) and os.path.getsize(frames_log) > 0
        now = time.time()
        late = now >= deadline
        if (status is not None or peak > MAX_RSS_MB or (late and showed)
                or now >= deadline + GRACE_SECONDS):
            return status, peak, showed, late
        time.sleep(POLL)


def prepare_case(executable, assets, asset, mode):
    """A temporary folder holding the game and its data with one file broken, or None when the
    mode has nothing to say about this kind of file. Called for every case before any case runs
    (see e2e.place_program: no file may be open for writing while another thread forks)."""
    work = tempfile.mkdtemp(prefix="zindle-bad-data-")
    e2e.place_program(executable, work)
    shutil.copytree(os.path.realpath(assets), os.path.join(work, "assets"))
    if break_file(os.path.join(work, "assets", asset), asset, mode):
        return work
    shutil.rmtree(work, ignore_errors=True)
    return None


def run_case(work, asset, mode):
    """Runs a prepared case; returns None when it behaves, otherwise the problem."""
    label = "%s %s" % (mode, asset)
    game = os.path.join(work, "zindle")
    frames_log = os.path.join(work, "frames.txt")
    env = dict(os.environ)
    env.pop("DISPLAY", None)  # no display: a fatal error goes to standard error, no box
    env.update(SDL_VIDEODRIVER="dummy", SDL_AUDIODRIVER="dummy",
               ASAN_OPTIONS="detect_leaks=0", ZINDLE_PACING_LOG=frames_log)
    output = open(os.path.join(work, "output.txt"), "w+b")
    started = time.time()
    proc = subprocess.Popen([game], cwd=work, env=env, stdout=output,
                            stderr=subprocess.STDOUT, preexec_fn=limit_address_space)
    status, peak, showed, late = watch(proc, frames_log, started + PLAY_ON_SECONDS)
    took = time.time() - started
    played_on = status is None
    if peak > MAX_RSS_MB and played_on:
        proc.kill()
        status = proc.wait()
    elif played_on:
        proc.send_signal(signal.SIGTERM)
        try:
            status = proc.wait(timeout=QUIT_TIMEOUT)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
            return "%s: did not quit within %d s of SIGTERM" % (label, QUIT_TIMEOUT)
    output.seek(0)
    text = output.read().decode(errors="replace")
    output.close()
    if peak > MAX_RSS_MB:
        return "%s: took %.0f MB of memory (bound %.0f MB):\n%s" % (label, peak, MAX_RSS_MB,
                                                                   text[-2000:])
    for marker in CRASH_MARKERS:
        if marker in text:
            return "%s: '%s' in its output:\n%s" % (label, marker, text[-2000:])
    name = os.path.basename(asset)
    naming = [line.strip() for line in text.splitlines() if name in line]
    if played_on:
        if not showed:
            return "%s: still running after %.0f s without showing a frame:\n%s" % (
                label, PLAY_ON_SECONDS + GRACE_SECONDS, text[-2000:])
        if status not in (0, -signal.SIGTERM):
            return "%s: ended with %s after SIGTERM:\n%s" % (label, status, text)
        if mode in HOSTILE_MODES and not naming:
            return "%s: played on without a line naming the file:\n%s" % (label, text)
        if mode in FORMAT_NAMES and (len(naming) != 1 or FORMAT_NAMES[mode] not in naming[0]):
            return "%s: not one line saying the file is %s:\n%s" % (label, FORMAT_NAMES[mode],
                                                                    text)
        lines = [line for line in text.splitlines() if line.strip()]
        print("ok   %-11s %-24s plays on%s, %3.0f MB (%d output lines%s)"
              % (mode, asset, " (late: a busy machine)" if late and took > PLAY_ON_SECONDS
                 + POLL * 5 else "", peak, len(lines), ": " + lines[0] if lines else ""),
              flush=True)
        return None
    if status == 0:
        return "%s: ended with status 0 on its own:\n%s" % (label, text)
    if status < 0:
        return "%s: killed by signal %d:\n%s" % (label, -status, text)
    if not naming:
        return "%s: ended with status %d without naming the file:\n%s" % (label, status, text)
    print("ok   %-11s %-24s stops in %.1f s, %3.0f MB: %s"
          % (mode, asset, took, peak, naming[0]), flush=True)
    return None


def closed_folder(executable, assets):
    """The data folder closed to the user who runs the game (mode 000: no entry; 644: listed,
    not entered): the game must stop at once with one line naming the folder and the reason,
    not with a warning per file and an atlas that 'cannot be loaded'. Tests run as root, who
    enters any folder, so the game runs as nobody."""
    if os.geteuid() != 0:
        print("skip the data folder closed to another user: needs root to become one", flush=True)
        return []
    problems = []
    for mode in (0o000, 0o644):
        work = tempfile.mkdtemp(prefix="zindle-closed-data-")
        try:
            os.chmod(work, 0o755)
            game = os.path.join(work, "zindle")
            shutil.copy2(executable, game)
            folder = os.path.join(work, "assets")
            shutil.copytree(os.path.realpath(assets), folder)
            os.chmod(folder, mode)
            env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
            # Settings of its own: nobody cannot read root's, and would say so.
            env.update(SDL_VIDEODRIVER="dummy", SDL_AUDIODRIVER="dummy",
                       ASAN_OPTIONS="detect_leaks=0",
                       XDG_CONFIG_HOME=os.path.join(work, "config"))
            started = time.time()
            run = subprocess.run(["setpriv", "--reuid=nobody", "--regid=nogroup",
                                  "--clear-groups", game], cwd="/", env=env,
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                 timeout=PLAY_ON_SECONDS + GRACE_SECONDS,
                                 preexec_fn=limit_address_space)
            took = time.time() - started
            lines = run.stdout.decode(errors="replace").splitlines()
            label = "data folder of mode %03o" % mode
            if (run.returncode != 1 or len(lines) != 1 or folder not in lines[0]
                    or "Permission denied" not in lines[0]):
                problems.append("%s: status %d, output:\n%s" % (label, run.returncode,
                                                                  "\n".join(lines[:40])))
            else:
                print("ok   %-24s stops in %.1f s: %s" % (label, took, lines[0]), flush=True)
        except subprocess.TimeoutExpired:
            problems.append("data folder of mode %03o: still running" % mode)
        finally:
            os.chmod(os.path.join(work, "assets"), 0o755)
            shutil.rmtree(work, ignore_errors=True)
    return problems


def main():
    args = sys.argv[1:]
    if args[:1] == ["--closed-folder"] and len(args) == 3:
        problems = closed_folder(args[1], args[2])
        for problem in problems:
            print("FAIL " + problem, flush=True)
        return 1 if problems else 0
    hostile = args[:1] == ["--hostile"]
    if hostile:
        args = args[1:]
    if len(args) < 3:
        print(__doc__)
        return 2
    executable, assets, names = args[0], args[1], args[2:]
    modes = HOSTILE_MODES if hostile else CLASSIC_MODES
    cases = []
    try:
        for name in names:
            for mode in modes:
                work = prepare_case(executable, assets, name, mode)
                if work:
                    cases.append((work, name, mode))
        with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
            problems = [p for p in pool.map(lambda c: run_case(*c), cases) if p]
    finally:
        for work, _, _ in cases:
            shutil.rmtree(work, ignore_errors=True)
    for problem in problems:
        print("FAIL " + problem, flush=True)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
