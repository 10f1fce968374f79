"""The installed game. `install` installs the build with `cmake --install` into a temporary
root (DESTDIR and a prefix), checks that every piece is where a desktop looks for it, validates
the launcher and the AppStream metadata, moves the installed tree and starts the game from
there. `package` builds the Debian package with cpack, unpacks it with dpkg-deb -x, runs the
unpacked program (--version, then a few seconds in a virtual display) and lints the package
with lintian where that is installed.

usage: install_test.py install|package BUILD_DIR"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

from e2e import Display, Failure, Game, check, log

APP_ID = "org.zindle.game"
DATA = "share/zindle-vs-pellorin"
ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)
PLAY_SECONDS = 3
# Lintian tags (errors and warnings) the package may carry, each with its reason. None today:
# a tag that appears is a fault to mend, or to add here with the reason it is accepted.
ACCEPTED_LINTIAN = set()


def command(args, **kwargs):
    run = subprocess.run(args, capture_output=True, text=True, timeout=300, **kwargs)
    check(run.returncode == 0, "%s failed (%d):\n%s%s" % (" ".join(args), run.returncode,
                                                           run.stdout, run.stderr))
    return run.stdout


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    check(head[:8] == b"\x89PNG\r\n\x1a\n", path + " is not a PNG")
    return int.from_bytes(head[16:20], "big"), int.from_bytes(head[20:24], "big")


def check_tree(prefix, program="bin/zindle"):
    """Every installed piece in its place; launcher and metadata valid; the relay's unit names
    the relay where it was installed."""
    unit = os.path.join(prefix, "lib/systemd/system/zindle-relay.service")
    for path in (program, "bin/zindle-relay", "share/man/man8/zindle-relay.8.gz", unit,
                 DATA + "/assets/gametiles.png", DATA + "/assets/title.txt",
                 DATA + "/assets/gamecontrollerdb.txt", "share/man/man6/zindle.6.gz",
                 "share/applications/%s.desktop" % APP_ID,
                 "share/metainfo/%s.metainfo.xml" % APP_ID):
        check(os.path.isfile(os.path.join(prefix, path)), "not installed: " + path)
    # F12's clip renderer, among the game's helpers where the game looks for it.
    helper = os.path.join(prefix, "libexec/zindle-vs-pellorin/zindle-shot")
    check(os.access(helper, os.X_OK), "the clip renderer is not installed: " + helper)
    check(not os.path.exists(os.path.join(prefix, DATA, "assets", "icons")),
          "the icons are installed with the data")
    for size in ICON_SIZES:
        icon = os.path.join(prefix, "share/icons/hicolor/%dx%d/apps/%s.png" % (size, size, APP_ID))
        check(os.path.isfile(icon) and png_size(icon) == (size, size), "icon %d" % size)
    with open(unit) as f:
        exec_start = [line for line in f if line.startswith("ExecStart=")]
    check(exec_start and exec_start[0].split()[0].endswith("/bin/zindle-relay"),
          "the unit starts %s" % exec_start)
    command(["desktop-file-validate",
             os.path.join(prefix, "share/applications/%s.desktop" % APP_ID)])
    command(["appstreamcli", "validate", "--no-net",
             os.path.join(prefix, "share/metainfo/%s.metainfo.xml" % APP_ID)])


def starts(program, cwd):
    """The program answers --version and plays for a few seconds in a virtual display."""
    version = command([program, "--version"], cwd=cwd)
    check(version.startswith("zindle (Zindle vs Pellorin) "), "--version: %r" % version)
    display = Display()
    try:
        game = Game(display, program, cwd=cwd)
        try:
            time.sleep(PLAY_SECONDS)
            check(game.proc.poll() is None, "the game ended:\n" + game.output())
            # SDL's disk audio driver announces itself; anything else is the game complaining.
            complaints = [line for line in game.output().splitlines()
                          if line.strip() and not line.startswith("CRITICAL:")]
            check(not complaints, "the game complained:\n" + game.output())
        finally:
            game.close()
    finally:
        display.close()
    log("%s starts and plays" % program)


def test_install(build, work):
    root = os.path.join(work, "root")
    env = dict(os.environ, DESTDIR=root)
    command(["cmake", "--install", build, "--prefix", "/opt/zindle"], env=env)
    check_tree(os.path.join(root, "opt/zindle"))
    # Moved elsewhere, the tree still finds its data, from any working directory.
    moved = os.path.join(work, "moved")
    shutil.move(os.path.join(root, "opt/zindle"), moved)
    empty = os.path.join(work, "empty")
    os.mkdir(empty)
    starts(os.path.join(moved, "bin/zindle"), empty)


def test_package(build, work):
    out = os.path.join(work, "out")
    command(["cpack", "-G", "DEB", "--config", os.path.join(build, "CPackConfig.cmake"),
             "-B", out])
    debs = [f for f in os.listdir(out) if f.endswith(".deb")]
    check(len(debs) == 1, "cpack made %s" % debs)
    deb = os.path.join(out, debs[0])
    depends = command(["dpkg-deb", "--field", deb, "Depends"])
    log("Depends: " + depends.strip())
    # Computed from what the program links, so only the libraries it cannot do without.
    for library in ("libc6", "libsdl2-2.0-0", "libsdl2-mixer-2.0-0"):
        check(library in depends, "no dependency on " + library)
    root = os.path.join(work, "unpacked")
    command(["dpkg-deb", "-x", deb, root])
    # A Debian package keeps a game's program in /usr/games.
    check_tree(os.path.join(root, "usr"), "games/zindle")
    starts(os.path.join(root, "usr/games/zindle"), "/")
    if shutil.which("lintian") is None:
        log("lintian is not installed: not linted")
        return
    lint = subprocess.run(["lintian", "--no-tag-display-limit", deb], capture_output=True,
                          text=True, timeout=300)
    tags = re.findall(r"^([EWIPX]): \S+: (\S+)", lint.stdout, re.MULTILINE)
    log(lint.stdout.strip())
    bad = [tag for level, tag in tags if level in "EW" and tag not in ACCEPTED_LINTIAN]
    check(not bad, "lintian: " + ", ".join(bad))


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("install", "package"):
        print(__doc__)
        sys.exit(2)
    work = tempfile.mkdtemp(prefix="zindle-install-")
    try:
        (test_install if sys.argv[1] == "install" else test_package)(sys.argv[2], work)
    except Failure as failure:
        log("FAIL: %s" % failure)
        sys.exit(1)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    log("PASS")


if __name__ == "__main__":
    main()
