"""What an online game tells the tests: the room link it prints on standard output, and its
checksum log (ZINDLE_CHECKSUM_LOG), one "round tick checksum" line per confirmed second."""
import re

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
