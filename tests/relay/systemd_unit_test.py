"""The relay's systemd unit: systemd-analyze verify accepts it without a single complaint (it
only warns about unknown keys and bad values, so any output fails the test), and its sandbox
keeps the exposure systemd-analyze security reports at 2.0 or below. The unit is filled in with
the relay just built, as installing would with the installed one.

usage: systemd_unit_test.py UNIT_TEMPLATE RELAY_PROGRAM
Exits 77 (skipped) where systemd-analyze is not installed."""

import os
import shutil
import subprocess
import sys
import tempfile

MAX_EXPOSURE_TENTHS = 20


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        sys.exit(2)
    template, program = sys.argv[1], os.path.abspath(sys.argv[2])
    if shutil.which("systemd-analyze") is None:
        print("systemd-analyze is not installed: the unit is not checked")
        sys.exit(77)
    with open(template) as f:
        text = f.read()
    if "@ZINDLE_RELAY_PROGRAM@" not in text:
        sys.exit("the unit template names no @ZINDLE_RELAY_PROGRAM@")
    work = tempfile.mkdtemp(prefix="zindle-unit-")
    try:
        unit = os.path.join(work, "zindle-relay.service")
        with open(unit, "w") as f:
            f.write(text.replace("@ZINDLE_RELAY_PROGRAM@", program))
        failures = []
        for args in (["verify", "--man=no", unit],
                     ["security", "--offline=true", "--no-pager",
                      "--threshold=%d" % MAX_EXPOSURE_TENTHS, unit]):
            run = subprocess.run(["systemd-analyze"] + args, capture_output=True, text=True,
                                 timeout=60)
            complaints = run.stderr.strip() if args[0] == "verify" else ""
            if run.returncode != 0 or complaints:
                failures.append("systemd-analyze %s (%d):\n%s%s" % (
                    args[0], run.returncode, run.stdout[-2000:], run.stderr))
            else:
                print("systemd-analyze %s: %s" % (args[0], run.stdout.strip().splitlines()[-1]
                                                  if run.stdout.strip() else "no complaints"))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    if failures:
        sys.exit("\n".join(failures))
    print("PASS")


if __name__ == "__main__":
    main()
