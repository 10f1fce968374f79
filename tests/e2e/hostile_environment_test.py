"""SDL variables that would stall the game: a sound driver told to sleep for days between
blocks, FIFOs where SDL opens a file or a device and waits for the other end. Each time the game
says in one line which variable it set aside, draws, and ends on SIGTERM within 2 s."""

import os
import signal
import tempfile
import time

from e2e import Game, cap_address_space, check, log, main, wait_for

PATIENCE = 10  # s
EXIT_SECONDS = 2
MAX_RSS_MB = 200
ADDRESS_SPACE_MB = 4096  # a hard stop, should a case run away


def limit_address_space():
    cap_address_space(ADDRESS_SPACE_MB)


def frames(path):
    try:
        with open(path) as f:
            return sum(1 for _ in f)
    except OSError:
        return 0


def one_case(display, executable, folder, variables):
    pacing = os.path.join(folder, "pacing.log")
    if os.path.exists(pacing):
        os.remove(pacing)
    name = next(iter(variables))
    log("%s" % " ".join("%s=%s" % item for item in variables.items()))
    game = Game(display, executable, extra_env=dict(variables, ZINDLE_PACING_LOG=pacing),
                limit=limit_address_space)
    try:
        check(wait_for(lambda: frames(pacing) >= 30, PATIENCE), "no frames were drawn")
        lines = [line for line in game.output().splitlines() if name in line]
        check(len(lines) == 1, "expected one line naming %s, got:\n%s" % (name, game.output()))
        log("  said: %s" % lines[0])
        peak = game.peak_memory_mb()
        check(peak < MAX_RSS_MB, "peak memory %.0f MB" % peak)
        start = time.monotonic()
        game.proc.send_signal(signal.SIGTERM)
        status = game.wait_exit(EXIT_SECONDS)
        took = time.monotonic() - start
        check(status is not None, "SIGTERM did not end the game within %d s" % EXIT_SECONDS)
        log("  ended in %.2f s with status %d, peak memory %.0f MB" % (took, status, peak))
    finally:
        game.close()


def hostile_environment(display, executable):
    folder = tempfile.mkdtemp(prefix="zindle-env-")
    fifo = os.path.join(folder, "fifo")
    os.mkfifo(fifo)
    try:
        for variables in ({"SDL_DISKAUDIODELAY": "100000"},
                          {"SDL_DISKAUDIODELAY": "-5"},
                          {"SDL_DISKAUDIOFILE": fifo},
                          {"SDL_GAMECONTROLLERCONFIG_FILE": fifo},
                          {"SDL_JOYSTICK_DEVICE": fifo}):
            one_case(display, executable, folder, variables)
    finally:
        for entry in os.listdir(folder):
            os.remove(os.path.join(folder, entry))
        os.rmdir(folder)


if __name__ == "__main__":
    main(hostile_environment)
