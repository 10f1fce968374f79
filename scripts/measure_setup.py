#!/usr/bin/env python3
"""Counts what each command's package sets would install on a fresh Debian 12 machine.

A fresh machine is taken to hold only the packages of priority "required" and what they depend
on (as a minimal image does): apt is pointed at a status file that lists just those, and asked to
simulate installing each command's sets without recommends. The sizes are the sums of Size (to download) and
Installed-Size of the packages it would install, from this machine's package lists; run
"apt-get update" first for today's.

usage: measure_setup.py
Prints one line per command: its sets, the packages, MB to download and MB installed."""

import os
import re
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
COMMANDS = [
    ("bash scripts/play.sh", ["play"]),
    ("bash scripts/web.sh", ["web"]),
    ("bash scripts/test.sh", ["play", "web", "test", "package"]),
    ("bash scripts/measure.sh", ["play", "measure"]),
    ("bash scripts/setup-debian.sh play package", ["play", "package"]),
]


def package_sets():
    """The sets of scripts/setup-debian.sh, read from the script itself."""
    text = open(os.path.join(ROOT, "scripts", "setup-debian.sh")).read()
    body = text[text.index("declare -A SETS=(") : text.index("\n)\n")]
    return {name: words.split() for name, words in re.findall(r'\[(\w+)\]="([^"]*)"', body)}


def stanzas(text):
    for block in text.split("\n\n"):
        fields = {}
        for line in block.splitlines():
            if line and not line[0].isspace() and ":" in line:
                key, value = line.split(":", 1)
                fields[key] = value.strip()
        if "Package" in fields:
            yield block, fields


def simulate(status, packages):
    """The (package, version) pairs apt would install on a machine with this status file."""
    sim = subprocess.run(
        ["apt-get", "install", "--simulate", "--no-install-recommends",
         "-o", "Dir::State::status=" + status, "-o", "Debug::NoLocking=1"] + packages,
        capture_output=True, text=True)
    if sim.returncode != 0:
        sys.exit("measure_setup.py: apt-get could not plan %s: %s" %
                 (" ".join(packages[:3]), sim.stderr.strip().splitlines()[-1:]))
    return re.findall(r"^Inst (\S+) \((\S+)", sim.stdout, re.M)


def main():
    avail = subprocess.run(["apt-cache", "dumpavail"], capture_output=True, text=True,
                           check=True).stdout
    required = {}
    sizes = {}
    for block, fields in stanzas(avail):
        sizes.setdefault(fields["Package"], {})[fields.get("Version")] = (
            int(fields.get("Size", 0)), int(fields.get("Installed-Size", 0)))
        if fields.get("Priority") == "required" and fields["Package"] not in required:
            required[fields["Package"]] = block
    sets = package_sets()
    blocks = {}
    for block, fields in stanzas(avail):
        blocks.setdefault((fields["Package"], fields.get("Version")), block)
    with tempfile.TemporaryDirectory() as tmp:
        status = os.path.join(tmp, "status")
        open(status, "w").close()
        # The required packages with everything they depend on: apt's own plan for them.
        base = simulate(status, sorted(required))
        with open(status, "w") as out:
            for name, version in base:
                out.write("Status: install ok installed\n" +
                          blocks[(name, version)].strip("\n") + "\n\n")
        for command, names in COMMANDS:
            installs = simulate(status, sorted({p for n in names for p in sets[n]}))
            download = installed = 0
            for name, version in installs:
                size, inst = sizes.get(name, {}).get(version, (0, 0))
                download += size
                installed += inst * 1024
            print("%s (%s): %d packages, %.0f MB to download, %.0f MB installed" %
                  (command, " ".join(names), len(installs), download / 1e6, installed / 1e6))


if __name__ == "__main__":
    main()
