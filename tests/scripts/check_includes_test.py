"""The include check over made-up source trees: what it lets through and what it reports."""
import importlib.util
import pathlib
import sys
import tempfile

SCRIPT = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "check_includes.py"
found = importlib.util.spec_from_file_location("check_includes", SCRIPT)
check_includes = importlib.util.module_from_spec(found)
found.loader.exec_module(check_includes)

# (files as path -> text, allowed entries, the (file, header) pairs expected to be reported)
CASES = [
    ("down and sideways pass", {"match/game.h": '#include "framework/lib.h"\n#include "actors/hero.h"\n',
                                "media/sdl/keys.cpp": '#include "media/common/held.h"\n#include <vector>\n'},
     set(), set()),
    ("up is reported", {"replay/replay.h": '#include "app/main.h"\n'}, set(),
     {("replay/replay.h", "app/main.h")}),
    ("spaced and local includes", {"online/a.cpp": '  #  include "app/x.h"\n#include "a.h"\n'}, set(),
     {("online/a.cpp", "app/x.h")}),
    ("allowed passes", {"loop/main.cpp": '#include "app/clip_saver.h"\n'},
     {("loop/main.cpp", "app/clip_saver.h")}, set()),
    ("an allowed include that is gone is reported", {"loop/main.cpp": '#include "match/game.h"\n'},
     {("loop/main.cpp", "app/clip_saver.h")}, {("loop/main.cpp", "app/clip_saver.h")}),
    ("an unknown folder is reported", {"mystery/a.h": "\n"}, set(), {("mystery/a.h", "")}),
]

failures = 0
for name, files, allowed, expected in CASES:
    with tempfile.TemporaryDirectory() as folder:
        src = pathlib.Path(folder)
        for path, text in files.items():
            (src / path).parent.mkdir(parents=True, exist_ok=True)
            (src / path).write_text(text)
        found = {(f, header) for f, _, header, _ in check_includes.violations(src, allowed)}
    if found != expected:
        failures += 1
        print(f"FAIL {name}: reported {sorted(found)}, expected {sorted(expected)}")

# The real tree holds its layers.
real = check_includes.violations(SCRIPT.parent.parent / "src")
for f, line, header, why in real:
    failures += 1
    print(f"FAIL src/{f}:{line}: {header}: {why}")
sys.exit(1 if failures else 0)
