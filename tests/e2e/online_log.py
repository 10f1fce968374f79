"""What an online game tells the tests: the room link it prints on standard output, its checksum
log (ZINDLE_CHECKSUM_LOG), one "round tick checksum" line per confirmed second, and its network
figures log (ZINDLE_NET_FIGURES_LOG), one line a second."""
import re

from e2e import Failure

LINK = re.compile(r"zindle: room (http://[^:/]+:(\d+)/#([A-Z0-9]+))")


def checksums(path):
    """(round, tick) -> checksum, from a game's checksum log; empty while there is none."""
    sums = {}
    try:
        with open(path) as f:
            for line in f:
                parts = line.split()
                if len(parts) == 3:
                    sums[(int(parts[0]), int(parts[1]))] = parts[2]
    except OSError:
        pass
    return sums


def agreeing(host_sums, joiner_sums):
    """How many confirmed seconds two games logged alike; any that differ fail the test."""
    common = set(host_sums) & set(joiner_sums)
    differing = [k for k in common if host_sums[k] != joiner_sums[k]]
    if differing:
        raise Failure("the games disagree at (round, tick) %s" % sorted(differing)[:5])
    return len(common)


def figures(path):
    """The network figures a game logged (ZINDLE_NET_FIGURES_LOG), one tuple a second: round trip
    in ms (-1 before one is measured), input delay in ticks, deepest rollback in ticks and
    re-simulation time in ms."""
    seconds = []
    try:
        with open(path) as f:
            for line in f:
                parts = line.split()
                if len(parts) == 4:
                    seconds.append((float(parts[0]), int(parts[1]), int(parts[2]),
                                    float(parts[3])))
    except OSError:
        pass
    return seconds
