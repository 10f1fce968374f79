"""The real game when its display fails it: the X server dies under it, there is no display at
all, or a fatal error comes while a message box can be shown. Each must end (or report) within
two seconds, with one line, never leaving a process that spins or waits on a dead display; a
signal that ends the game while its error box is up ends the box too.

usage: display_failures_test.py PATH/TO/zindle"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import e2e
from e2e import check, log

PROMPT = 2  # s: how soon the game must end or speak once it has reason to
KILLS = 3   # the X server dies under a running game this many times; a hang came in 2 of 3


def wait(proc, timeout):
    try:
        return proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        return None


def finish(proc):
    if proc.poll() is None:
        proc.kill()
        proc.wait()


def test_x_server_dies(executable):
    for attempt in range(KILLS):
        display = e2e.Display()
        game = None
        try:
            game = e2e.Game(display, executable)
            time.sleep(0.3)  # a few frames, so that the game is deep in its loop
            display.proc.kill()
            display.proc.wait()
            status = game.wait_exit(PROMPT)
            check(status is not None,
                  "the game was still running %d s after its X server died" % PROMPT)
            check(status > 0, "the game ended with status %d when its display died" % status)
            said = [line for line in game.output().splitlines() if "X server" in line]
            check(len(said) == 1, "no single line about the lost display:\n" + game.output())
        finally:
            if game:
                game.close()
            display.close()
    log("ok   the X server died %d times; the game ended each time: %s" % (KILLS, said[0]))


def test_no_display(executable):
    # No DISPLAY, and a DISPLAY that names no server. SDL_VIDEODRIVER unset: nobody chose a
    # driver that shows nothing.
    for display in (None, ":9876"):
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER")}
        if display:
            env["DISPLAY"] = display
        env["SDL_AUDIODRIVER"] = "dummy"
        proc = subprocess.Popen([executable], env=env, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE)
        status = wait(proc, PROMPT)
        finish(proc)
        err = proc.stderr.read().decode(errors="replace")
        check(status is not None, "with DISPLAY=%s the game still ran after %d s" % (display, PROMPT))
        check(status != 0 and "no display" in err,
              "with DISPLAY=%s: status %s, %r" % (display, status, err))
    log("ok   without a display: " + err.strip().splitlines()[-1])


def test_fatal_error_reaches_stderr_before_the_box(executable):
    # A broken atlas is fatal; under X the message box waits for the player, and the same text
    # must already be on standard error while it does.
    work = tempfile.mkdtemp(prefix="zindle-fatal-")
    display = e2e.Display()
    proc = None
    try:
        game = e2e.place_program(executable, work)
        assets = os.path.join(os.path.dirname(os.path.realpath(executable)), "assets")
        shutil.copytree(os.path.realpath(assets), os.path.join(work, "assets"))
        with open(os.path.join(work, "assets", "gametiles.png"), "wb") as f:
            f.write(b"not an image")
        err_path = os.path.join(work, "stderr.txt")
        with open(err_path, "wb") as err:
            env = display.env()
            env["SDL_AUDIODRIVER"] = "dummy"
            proc = subprocess.Popen([game], cwd=work, env=env, stdout=subprocess.DEVNULL,
                                    stderr=err)
            text = e2e.wait_for(lambda: open(err_path, "rb").read(), PROMPT)
        check(b"gametiles.png" in text,
              "no fatal line on standard error within %d s (box open: %s): %r"
              % (PROMPT, proc.poll() is None, text))
        log("ok   the fatal error reached standard error before the box: "
            + text.decode(errors="replace").strip())
    finally:
        if proc:
            finish(proc)
        display.close()
        shutil.rmtree(work, ignore_errors=True)


def session_processes(session):
    """The processes of a session, the game's box among them whatever its process group."""
    found = []
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % name) as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        if int(fields[3]) == session and fields[0] != "Z":
            found.append(int(name))
    return found


def error_box(display):
    """The window id of the box captioned "Error", or None."""
    tree = subprocess.run(["xwininfo", "-root", "-tree"], env=display.env(), capture_output=True,
                          text=True, timeout=10).stdout
    boxes = [line.split()[0] for line in tree.splitlines() if '"Error"' in line]
    return boxes[0] if boxes else None


def test_the_box_ends_with_the_game(executable):
    # A missing atlas is fatal and its box waits for the player; ended by a signal, the game
    # must take the box with it (SDL draws the box from a forked process, which was orphaned).
    work = tempfile.mkdtemp(prefix="zindle-box-")
    try:
        game = os.path.join(work, "zindle")
        shutil.copy2(executable, game)
        assets = os.path.join(os.path.dirname(os.path.realpath(executable)), "assets")
        shutil.copytree(os.path.realpath(assets), os.path.join(work, "assets"))
        os.remove(os.path.join(work, "assets", "gametiles.png"))
        # The player's Return dismisses the box and the game ends with status 1; a signal ends
        # the game and the box with it.
        for sig in (None, signal.SIGTERM, signal.SIGINT, signal.SIGHUP, signal.SIGKILL):
            how = sig.name if sig else "Return"
            display = e2e.Display()
            proc = None
            try:
                env = display.env()
                env["SDL_AUDIODRIVER"] = "dummy"
                # A session of its own, so that every process the game starts can be found.
                proc = subprocess.Popen([game], cwd=work, env=env, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL, start_new_session=True)
                box = e2e.wait_for(lambda: error_box(display), PROMPT * 5)
                check(box, "no error box within %d s" % (PROMPT * 5))
                if sig:
                    proc.send_signal(sig)
                else:
                    subprocess.run(["xdotool", "key", "--window", box, "Return"],
                                   env=display.env(), timeout=10)
                status = wait(proc, PROMPT)
                check(status is not None, "%s: the game still ran after %d s" % (how, PROMPT))
                check(sig or status == 1, "dismissed, the game ended with %s" % status)
                left = e2e.wait_for(lambda: not session_processes(proc.pid), PROMPT)
                check(left, "%s: processes of the game left behind: %s"
                      % (how, session_processes(proc.pid)))
                check(not error_box(display), "%s: the box is still on screen" % how)
            finally:
                if proc:
                    for pid in session_processes(proc.pid):
                        os.kill(pid, signal.SIGKILL)
                    finish(proc)
                display.close()
        log("ok   the error box: dismissed, status 1; ended with the game on SIGTERM, SIGINT, "
            "SIGHUP and SIGKILL")
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    failures = 0
    for test in (test_x_server_dies, test_no_display, test_fatal_error_reaches_stderr_before_the_box,
                 test_the_box_ends_with_the_game):
        try:
            test(sys.argv[1])
        except e2e.Failure as failure:
            log("FAIL: %s: %s" % (test.__name__, failure))
            failures += 1
    log("FAIL" if failures else "PASS")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
