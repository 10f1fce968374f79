#!/usr/bin/env python3
"""Holds the include directions of src/: a file may include headers of its own layer and of the
layers below it, never of a layer above. Prints one line per include that reaches up and exits
1 if there is any. The layer order lives here and nowhere else."""
import pathlib
import re
import sys

# Bottom to top. Folders on one line are one layer and may include each other.
LAYERS = [
    ["base"],  # the game's version and the rules several layers share
    ["netcode"],  # relay and peer messages, seat inputs, rollback: nothing of the game
    ["relay"],  # passes the netcode's messages between peers; links no game code
    ["framework"],  # the display tree, events, random numbers, the media primitives
    ["input", "sound", "render"],
    ["settings"],  # the settings file, read as untrusted text
    ["menu", "qr"],  # the menu's pages, walked and drawn; a link's QR code for them
    ["media"],  # the backends: headless, SDL, the browser
    ["effects"],  # particles and the MacGuffin, their list types
    ["actors", "match"],  # heroes and clouds, the game and its state
    ["loop"],  # the fixed-step frame loop and its hooks
    ["replay"],  # recording and playing back, through the loop object it is given
    ["online"],  # the netcode bound to the game and the loop
    ["app"],  # process entry, command line, clips
]

# Includes that still reach up, as (including file, included header), each to be removed.
ALLOWED = set()

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
RANK = {folder: rank for rank, layer in enumerate(LAYERS) for folder in layer}


def violations(src, allowed=frozenset(ALLOWED)):
    """(file, line number, header, why) for every include in src that reaches up."""
    found = []
    used = set()
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp") or not path.is_file():
            continue
        relative = path.relative_to(src).as_posix()
        own = relative.split("/")[0]
        if own not in RANK:
            found.append((relative, 0, "", f"folder '{own}' has no layer in {__file__}"))
            continue
        lines = path.read_text(encoding="utf-8", errors="replace").splitlines()
        for number, line in enumerate(lines, 1):
            match = INCLUDE.match(line)
            if not match or "/" not in match.group(1):
                continue
            header = match.group(1)
            target = header.split("/")[0]
            if target not in RANK or RANK[target] <= RANK[own]:
                continue
            if (relative, header) in allowed:
                used.add((relative, header))
                continue
            found.append((relative, number, header, f"'{own}' is below '{target}'"))
    # An allowed include that is gone must leave the list, so that the list only shrinks.
    for relative, header in sorted(set(allowed) - used):
        found.append((relative, 0, header, "allowed above but no longer included: remove it"))
    return found


def main():
    src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else
                       pathlib.Path(__file__).resolve().parent.parent / "src")
    found = violations(src)
    for relative, number, header, why in found:
        print(f"src/{relative}:{number}: includes \"{header}\": {why}")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
