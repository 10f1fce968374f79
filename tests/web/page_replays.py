"""The replays a page keeps in its storage, read through selenium, and their check by the native
zindle-sim: a replay the page recorded must re-simulate to every checksum it holds."""
import base64
import json
import os
import subprocess
import tempfile

STORAGE_KEY = "zindle.replays"
SIGNATURE = b"\x89ZVPRPL\n"


def kept_replays(js):
    """The page's kept replays, oldest first, as (name, bytes); js runs a script in the page."""
    text = js(f"return localStorage.getItem('{STORAGE_KEY}')")
    return [(r["name"], base64.b64decode(r["data"])) for r in json.loads(text or "[]")]


def check_replay(sim, name, replay, timeout=60):
    """zindle-sim --replay on the bytes: (exit status, the replay's part of its report as a dict,
    or None, and all it printed)."""
    with tempfile.TemporaryDirectory(prefix="zindle-page-replay-") as folder:
        path = os.path.join(folder, os.path.basename(name))
        with open(path, "wb") as file:
            file.write(replay)
        run = subprocess.run([sim, "--replay", path], capture_output=True, text=True,
                             timeout=timeout)
    lines = [line for line in run.stdout.splitlines() if line.startswith("{")]
    report = json.loads(lines[-1]).get("replay") if lines else None
    return run.returncode, report, run.stdout + run.stderr
