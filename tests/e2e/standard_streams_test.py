"""The real game with its standard streams closed or broken: started with standard output,
error or input closed, it still draws and ends on SIGTERM within two seconds (the X connection
must not take a standard stream's number and receive its diagnostics); with standard output a
pipe whose reader has gone, its first warning must not end it.

usage: standard_streams_test.py PATH/TO/zindle"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import e2e
from e2e import check, log

PROMPT = 2          # s: to end after SIGTERM
PATIENCE = 10       # s: to show the title on a busy machine
MAX_RSS_MB = 200
MAX_ADDRESS_SPACE_MB = 8192  # a hard stop for a run that grows without end


def game_folder(executable):
    """A copy of the game whose first effect is garbage, so that a warning is written on
    standard output once the window is open."""
    work = tempfile.mkdtemp(prefix="zindle-streams-")
    shutil.copy2(executable, os.path.join(work, "zindle"))
    assets = os.path.join(os.path.dirname(os.path.realpath(executable)), "assets")
    shutil.copytree(os.path.realpath(assets), os.path.join(work, "assets"))
    with open(os.path.join(work, "assets", "pickup_coin1.wav"), "wb") as f:
        f.write(b"not a sound")
    return work


def start(work, display, closing, env_extra=None, stdout=subprocess.DEVNULL):
    env = display.env()
    env.update(SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=os.path.join(work, "audio.raw"))
    env.update(env_extra or {})

    def prepare():
        e2e.cap_address_space(MAX_ADDRESS_SPACE_MB)
        for fd in closing:
            os.close(fd)

    return subprocess.Popen([os.path.join(work, "zindle")], cwd=work, env=env, stdin=subprocess.DEVNULL,
                            stdout=stdout, stderr=subprocess.DEVNULL, preexec_fn=prepare)


def ends_on_sigterm(proc):
    proc.send_signal(signal.SIGTERM)
    started = time.time()
    try:
        status = proc.wait(timeout=PROMPT)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
        return None, PROMPT
    return status, time.time() - started


def closed_streams(display, executable):
    # Standard error is written by ALSA when it is asked for a device that does not exist; the
    # game then plays on with the silent driver.
    alsa_complains = {"SDL_AUDIODRIVER": "alsa", "AUDIODEV": "zindle-no-such-device"}
    cases = [("standard output", (1,), {}), ("standard error", (2,), alsa_complains),
             ("all three", (0, 1, 2), alsa_complains)]
    for label, closing, env_extra in cases:
        work = game_folder(executable)
        proc = start(work, display, closing, env_extra)
        try:
            peak = 0

            def drawn():
                nonlocal peak
                peak = max(peak, e2e.rss_mb(proc.pid))
                check(proc.poll() is None, "%s closed: the game ended with %s" % (label, proc.poll()))
                return display.capture().distinct_colours() > 8

            check(e2e.wait_for(drawn, PATIENCE), "%s closed: nothing drawn in %d s" % (label, PATIENCE))
            time.sleep(0.5)  # the broken effect's warning is written by now
            check(drawn(), "%s closed: the picture went" % label)
            check(peak < MAX_RSS_MB, "%s closed: %.0f MB" % (label, peak))
            status, took = ends_on_sigterm(proc)
            check(status is not None, "%s closed: still running %d s after SIGTERM" % (label, PROMPT))
            check(status in (0, -signal.SIGTERM), "%s closed: ended with %s" % (label, status))
            log("ok   %s closed: drawn, %.0f MB, ended %.2f s after SIGTERM" % (label, peak, took))
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
            shutil.rmtree(work, ignore_errors=True)


def broken_pipe(display, executable):
    # `zindle | head -c0`: the reader is gone before the first warning.
    work = game_folder(executable)
    frames = os.path.join(work, "frames.txt")
    read_end, write_end = os.pipe()
    os.close(read_end)
    proc = start(work, display, (), {"ZINDLE_PACING_LOG": frames}, stdout=write_end)
    os.close(write_end)
    try:
        def playing():
            check(proc.poll() is None, "with a broken pipe the game ended with %s" % proc.poll())
            return os.path.exists(frames) and os.path.getsize(frames) > 0
        check(e2e.wait_for(playing, PATIENCE), "with a broken pipe: no frame in %d s" % PATIENCE)
        time.sleep(1)
        check(playing(), "with a broken pipe the game stopped")
        shown = sum(1 for _ in open(frames))
        status, took = ends_on_sigterm(proc)
        check(status in (0, -signal.SIGTERM), "with a broken pipe: ended with %s" % status)
        log("ok   standard output a broken pipe: %d frames, ended %.2f s after SIGTERM"
            % (shown, took))
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
        shutil.rmtree(work, ignore_errors=True)


def both(display, executable):
    closed_streams(display, executable)
    broken_pipe(display, executable)


if __name__ == "__main__":
    e2e.main(both)
