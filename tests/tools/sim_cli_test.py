"""zindle-sim, zindle-shot and zindle-mixcheck from the command line: determinism, traces,
scripts, errors and screenshots.

usage: sim_cli_test.py ZINDLE_SIM ZINDLE_SHOT DATA_DIR [ZINDLE_MIXCHECK]"""

import json
import os
import resource
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import zlib

SIM, SHOT, DATA = sys.argv[1], sys.argv[2], sys.argv[3]
MIXCHECK = sys.argv[4] if len(sys.argv) > 4 else None  # built only with SDL
VOLATILE = ("wallSeconds", "cpuSeconds", "stepsPerWallSecond", "peakRssKb", "rssKbHalfway", "rssKbEnd")
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL: " + message, flush=True)
    return condition


def sim(*args, cwd=None):
    return subprocess.run([SIM] + [str(a) for a in args], capture_output=True, text=True,
                          timeout=300, cwd=cwd)


def report(done):
    return json.loads(done.stdout.strip().splitlines()[-1])


def stable(rep):
    return {k: v for k, v in rep.items() if k not in VOLATILE}


def test_same_options_same_output(tmp):
    traces = [os.path.join(tmp, "a.jsonl"), os.path.join(tmp, "b.jsonl")]
    runs = [sim("--seconds", 20, "--ai", "1,2,3,4", "--seed", 5, "--trace", t) for t in traces]
    for run in runs:
        check(run.returncode == 0, "sim failed: " + run.stderr)
    check(stable(report(runs[0])) == stable(report(runs[1])), "reports of two runs differ")
    first, second = (open(t, "rb").read() for t in traces)
    check(first == second, "traces of two identical runs differ")
    other = sim("--seconds", 20, "--ai", "1,2,3,4", "--seed", 6)
    check(stable(report(other)) != stable(report(runs[0])), "a different seed changed nothing")

    rep = report(runs[0])
    lines = first.decode().splitlines()
    check(len(lines) == rep["steps"], "%d trace lines for %d steps" % (len(lines), rep["steps"]))
    check(rep["frames"] == 1200, "20 s gave %d frames" % rep["frames"])
    # Five steps a frame; the first frame, at clock 0, has none due.
    check(abs(rep["steps"] - 5 * (rep["frames"] - 1)) <= 1, "%d steps in %d frames"
          % (rep["steps"], rep["frames"]))
    steps = [json.loads(line) for line in lines]
    check([s["step"] for s in steps] == list(range(len(steps))), "step numbers are not 0, 1, ...")
    check(all(a["frame"] <= b["frame"] for a, b in zip(steps, steps[1:])),
          "frame numbers go backwards")
    check(all(len(s["clouds"]) == 15 for s in steps), "a step without fifteen clouds")
    check(any(len(s["heroes"]) == 4 for s in steps), "four computer players never played")
    hero = next(h for s in steps for h in s["heroes"])
    check(list(hero)[:4] == ["x", "y", "player", "lives"], "hero fields: %s" % list(hero))
    check(rep["soundsByCategory"].get("laser_shoot", 0) >= 4, "no spawn sounds: %s"
          % rep["soundsByCategory"])


def test_script_drives_the_players(tmp):
    trace = os.path.join(tmp, "script.jsonl")
    run = sim("--seconds", 6, "--script", os.path.join(DATA, "join_and_steer.txt"),
              "--trace", trace)
    check(run.returncode == 0, "scripted sim failed: " + run.stderr)
    steps = [json.loads(line) for line in open(trace)]
    joined = next((s for s in steps if s["heroes"]), None)
    if check(joined is not None, "SPACE brought no hero in"):
        check(joined["frame"] == 30, "the hero came in at frame %d, not 30" % joined["frame"])
    players = {h["player"] for s in steps for h in s["heroes"]}
    check(players == {0, 1}, "players in play: %s" % players)
    steering = [h["dx"] for s in steps if 2.2 * 60 < s["frame"] < 3 * 60
                for h in s["heroes"] if h["player"] == 0]
    check(steering and max(steering) > 0.3, "holding RIGHT did not move player 1 right")


def test_escape_on_the_title_ends_the_run():
    run = sim("--seconds", 5, "--script", os.path.join(DATA, "escape_twice.txt"))
    check(run.returncode == 0, "status %d" % run.returncode)
    rep = report(run)
    check(rep["closed"] and rep["frames"] == 60, "ESC on the title: %s" % rep)


def test_bad_input_is_reported(tmp):
    script = os.path.join(tmp, "bad.txt")
    with open(script, "w") as f:
        f.write("0.5 keydown 32\n1 keydown thirty-two\n")
    run = sim("--script", script)
    check(run.returncode == 2 and script + ":2:" in run.stderr,
          "bad script line: status %d, %r" % (run.returncode, run.stderr))
    for args in (["--ai", "5"], ["--seconds", "soon"], ["--bogus"], ["--seed"]):
        run = sim(*args)
        check(run.returncode == 2 and run.stderr, "%s: status %d" % (args, run.returncode))
    numbers = os.path.join(tmp, "random.txt")
    with open(numbers, "w") as f:
        f.write("0.5\n" * 10)
    run = sim("--random", numbers)
    check(run.returncode == 3 and "ran out" in run.stderr,
          "short random file: status %d, %r" % (run.returncode, run.stderr))
    # From an empty folder, so that no data is found relative to the working directory either.
    run = sim("--data", tmp, cwd=tmp)
    check(run.returncode == 1 and "data folder is missing" in run.stderr and tmp in run.stderr,
          "missing data: status %d, %r" % (run.returncode, run.stderr))


def test_what_cannot_be_done_is_refused_at_once(tmp):
    # Each must end with status 2 and one line on standard error, and nothing on standard
    # output; none may run the simulation first, nor wait on a FIFO.
    fifo = os.path.join(tmp, "numbers.fifo")
    os.mkfifo(fifo)
    cases = [
        ([SIM, "--seconds", "1e18"], "--seconds"),
        ([SHOT, "--at", "1e18"], "--at"),
        ([SIM, "--script", tmp], tmp),
        ([SIM, "--random", fifo], fifo),
        ([SIM, "--seconds", "3600", "--trace", "/dev/full"], "/dev/full"),
    ]
    for args, named in cases:
        try:
            run = subprocess.run(args, capture_output=True, text=True, timeout=10)
        except subprocess.TimeoutExpired:
            check(False, "%s: still running after 10 s" % args[1:])
            continue
        lines = [line for line in run.stderr.splitlines() if not line.startswith("(try")]
        check(run.returncode == 2 and len(lines) == 1 and named in lines[0] and not run.stdout,
              "%s: status %d, stdout %r, stderr %r" % (args[1:], run.returncode, run.stdout[:200],
                                                       run.stderr[:400]))
    with open("/dev/full", "w") as full:
        run = subprocess.run([SIM, "--seconds", "1"], stdout=full, stderr=subprocess.PIPE,
                             text=True, timeout=60)
    check(run.returncode == 2 and "standard output" in run.stderr,
          "JSON to a full disk: status %d, %r" % (run.returncode, run.stderr))


def test_hostile_words_are_quoted_short_and_escaped(tmp):
    # Whatever a command line or a script holds, the one line that names it is short and holds
    # nothing a terminal would act on.
    script = os.path.join(tmp, "huge-word.txt")
    with open(script, "w") as f:
        f.write("1 " + "w" * 10_000_000 + " 32\n")
    cases = [
        [SIM, "--\x1b[31mred"],
        [SIM, "--seconds", "\x1b]0;title\x07"],
        [SIM, "--seed", "1\r\x1b[2K"],
        [SHOT, "--at", "1", "--" + "y" * 100_000],  # near the most one argument may hold
        [SIM, "--script", script],
    ]
    for args in cases:
        run = subprocess.run(args, capture_output=True, timeout=60)
        shown = repr(args[1:])[:60]
        check(run.returncode == 2, "%s: status %d" % (shown, run.returncode))
        check(len(run.stderr) < 400, "%s: %d bytes on standard error" % (shown, len(run.stderr)))
        check(not any(b < 0x20 and b != 0x0a for b in run.stderr),
              "%s: a control character reached the terminal: %r" % (shown, run.stderr[:200]))


def test_a_player_is_handed_to_the_computer_once(tmp):
    # "--ai 1,1" once toggled player 1 twice, leaving no computer player at all.
    for args in (["--ai", "1,1"], ["--ai", "2", "--ai", "3,2"]):
        run = sim("--seconds", 1, *args)
        check(run.returncode == 2 and "twice" in run.stderr,
              "%s: status %d, %r" % (args, run.returncode, run.stderr))
    run = sim("--help")
    check("each" in run.stdout and "repeated number is refused" in run.stdout.replace("\n ", ""),
          "--help does not say how a repeated --ai number is taken")


def test_shot_output_is_tried_before_the_run(tmp):
    # A run to ten minutes takes seconds; the refusal must come at once, with status 2.
    folder = os.path.join(tmp, "a-file")
    open(folder, "w").close()
    for out in ("/nonexistent/x.png", os.path.join(folder, "x.png"), tmp):
        run = subprocess.run([SHOT, "--at", "600", "--out", out], capture_output=True, text=True,
                             timeout=5)
        check(run.returncode == 2 and out in run.stderr and not run.stdout,
              "--out %s: status %d, %r" % (out, run.returncode, run.stderr))
    run = subprocess.run([SHOT, "--at", "600", "--out", os.path.join(tmp, "x.webp")],
                         capture_output=True, text=True, timeout=5)
    check(run.returncode == 2 and ".webp" in run.stderr and not os.path.exists(
        os.path.join(tmp, "x.webp")), "--out x.webp: status %d, %r" % (run.returncode, run.stderr))
    run = subprocess.run([SHOT, "--at", "1,600", "--out", os.path.join(tmp, "no", "s.png")],
                         capture_output=True, text=True, timeout=5)
    check(run.returncode == 2 and "s-1.png" in run.stderr,
          "several moments: status %d, %r" % (run.returncode, run.stderr))


def mixcheck(*args, timeout=60, **kwargs):
    """The finished run, or one that stands for a run stopped after timeout seconds."""
    try:
        return subprocess.run([MIXCHECK] + [str(a) for a in args], capture_output=True,
                              text=True, timeout=timeout, **kwargs)
    except subprocess.TimeoutExpired:
        return subprocess.CompletedProcess(args, -1, "", "still running after %d s" % timeout)


def test_mixcheck_takes_the_options_as_zindle_sim_does(tmp):
    # Each bad value ends at once with status 2 and one line naming the option and the value.
    cases = [
        (["--seconds", "inf"], "inf"),
        (["--seconds", "nan"], "nan"),
        (["--seconds", "1e15"], "--seconds"),
        (["--seconds", "0"], "--seconds"),
        (["--seconds", "0x2"], "0x2"),
        (["--stem-seconds", "2abc"], "2abc"),
        (["--title-seconds", "-1"], "--title-seconds"),
        (["--seed", "-1"], "-1"),
        (["--seed", "1.5"], "1.5"),
        (["--seed"], "--seed"),
        (["--bogus", "1"], "--bogus"),
        (["--record", "/etc/passwd/x"], "/etc/passwd/x"),
    ]
    for args, named in cases:
        run = mixcheck(*args, timeout=10)
        lines = [line for line in run.stderr.splitlines() if not line.startswith("(try")]
        check(run.returncode == 2 and len(lines) == 1 and named in lines[0] and not run.stdout,
              "mixcheck %s: status %d, stdout %r, stderr %r"
              % (args, run.returncode, run.stdout[:200], run.stderr[:300]))
    run = mixcheck("--help")
    check(run.returncode == 0 and "--record DIR" in run.stdout and not run.stderr,
          "mixcheck --help: status %d, %r" % (run.returncode, run.stderr))
    # A run too short to hear a catch still prints JSON, with null for what was not measured.
    run = mixcheck("--seconds", 1, "--stem-seconds", 1, "--title-seconds", 1)
    try:
        figures = [json.loads(line) for line in run.stdout.splitlines()]
        check(len(figures) == 6, "short mixcheck: %d lines of JSON" % len(figures))
    except ValueError:
        check(False, "short mixcheck printed what is not JSON: %r" % run.stdout[:400])


def test_mixcheck_recordings_are_checked(tmp):
    folder = os.path.join(tmp, "recordings")
    run = mixcheck("--seconds", 1, "--stem-seconds", 1, "--title-seconds", 1, "--record", folder)
    names = ("match", "effects", "music", "title")
    sizes = [os.path.getsize(os.path.join(folder, n + ".raw")) for n in names
             if os.path.exists(os.path.join(folder, n + ".raw"))]
    check(run.returncode in (0, 1) and len(sizes) == 4 and min(sizes) >= 44100 * 4,
          "recorded: status %d, sizes %s, %r" % (run.returncode, sizes, run.stderr[-300:]))
    check("No audio device" not in run.stdout, "a device message among the JSON")

    # A recording SDL could not open (here a folder in its place; an unwritable folder for a
    # user) once sent the run to a silent device in real time: it is refused before the run.
    blocked = os.path.join(tmp, "blocked")
    os.makedirs(os.path.join(blocked, "music.raw"))
    run = mixcheck("--record", blocked, timeout=10)
    lines = [line for line in run.stderr.splitlines() if not line.startswith("(try")]
    check(run.returncode == 2 and len(lines) == 1 and "music.raw" in lines[0] and not run.stdout,
          "a recording that cannot be opened: status %d, stdout %r, stderr %r"
          % (run.returncode, run.stdout[:200], run.stderr[-300:]))

    # The disk fills after 1 MB (a limit on file size stands in for a full disk): the run must
    # stop soon after and name the file, instead of running on in real time.
    def full_after_a_megabyte():
        resource.setrlimit(resource.RLIMIT_FSIZE, (1 << 20, 1 << 20))
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    run = mixcheck("--seconds", 60, "--stem-seconds", 1, "--title-seconds", 1,
                   "--record", os.path.join(tmp, "full"), preexec_fn=full_after_a_megabyte)
    check(run.returncode != 0 and "match.raw" in run.stderr and not run.stdout,
          "a full disk: status %d, stdout %r, stderr %r"
          % (run.returncode, run.stdout[:200], run.stderr[-300:]))


def test_game_warnings_stay_off_standard_output(tmp):
    # The data folder's tile list has a broken line: the game warns, and the JSON must still
    # be all there is on standard output.
    data = os.path.join(tmp, "warned")
    assets = os.path.join(os.path.dirname(os.path.realpath(SIM)), "assets")
    shutil.copytree(os.path.realpath(assets), os.path.join(data, "assets"))
    with open(os.path.join(data, "assets", "title.txt"), "a") as f:
        f.write("BROKEN 1 2 3\n")
    run = sim("--seconds", 1, "--data", data)
    check(run.returncode == 0 and "BROKEN" in run.stderr, "status %d, %r"
          % (run.returncode, run.stderr))
    try:
        json.loads(run.stdout)
    except ValueError:
        check(False, "standard output is not one JSON object: %r" % run.stdout[:300])


def test_closed_standard_output_is_refused_before_the_run(tmp):
    # Closed, its number would go to the --trace file, which would then get the report too.
    trace = os.path.join(tmp, "closed.jsonl")
    run = subprocess.run([SIM, "--seconds", "1", "--trace", trace], stderr=subprocess.PIPE, text=True, timeout=60,
                         preexec_fn=lambda: os.close(1))
    check(run.returncode == 2 and "standard output is closed" in run.stderr,
          "with standard output closed: status %d, %r" % (run.returncode, run.stderr))
    check(not os.path.exists(trace) or b'"steps"' not in open(trace, "rb").read(),
          "the report went into the --trace file")


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    check(head[:8] == b"\x89PNG\r\n\x1a\n", path + " is not a PNG")
    return int.from_bytes(head[16:20], "big"), int.from_bytes(head[20:24], "big")


def test_screenshots(tmp):
    out = os.path.join(tmp, "shot.png")
    run = subprocess.run([SHOT, "--at", "0.5,4", "--ai", "1,2", "--out", out],
                         capture_output=True, text=True, timeout=120)
    check(run.returncode == 0, "zindle-shot failed: " + run.stderr)
    title, match = os.path.join(tmp, "shot-0.5.png"), os.path.join(tmp, "shot-4.png")
    for path in (title, match):
        if check(os.path.exists(path), path + " was not written"):
            check(png_size(path) == (480, 320), path + " is not 480x320")
    ppm = subprocess.run(["convert", match, "-depth", "8", "ppm:-"], capture_output=True).stdout
    if ppm:
        body = ppm[-480 * 320 * 3:]
        sky = sum(1 for i in range(0, len(body), 3) if body[i:i + 3] == b"\x85\xe3\xff")
        check(sky > 1000, "the match picture shows %d sky-blue pixels" % sky)
    big = os.path.join(tmp, "big.png")
    run = subprocess.run([SHOT, "--at", "1", "--scale", "2", "--out", big], capture_output=True,
                         text=True, timeout=120)
    check(run.returncode == 0 and png_size(big) == (960, 640), "--scale 2 did not double")


def test_clip_of_a_win(tmp):
    # Seed 11's first win falls at 42.5 s: six seconds around it at twice the size.
    clip = os.path.join(tmp, "win.gif")
    run = subprocess.run([SHOT, "--ai", "1,2,3,4", "--seed", "11", "--from", "42", "--to", "48",
                          "--scale", "2", "--out", clip], capture_output=True, text=True,
                         timeout=300)
    check(run.returncode == 0, "the clip failed: " + run.stderr)
    with open(clip, "rb") as f:
        head = f.read(10)
    check(head[:6] == b"GIF89a" and int.from_bytes(head[6:8], "little") == 960 and
          int.from_bytes(head[8:10], "little") == 640, "not a 960x640 GIF: %r" % head)
    size = os.path.getsize(clip)
    check(size < 5 * 1024 * 1024, "a six-second win at 2x takes %d bytes" % size)
    # A path that cannot be written fails at once, before the run, and leaves nothing.
    bad = os.path.join(tmp, "missing", "clip.gif")
    run = subprocess.run([SHOT, "--seconds", "1", "--from", "0", "--to", "7000", "--out", bad],
                         capture_output=True, text=True, timeout=10)
    check(run.returncode == 2 and bad in run.stderr and not os.path.exists(bad),
          "an unwritable clip: status %d, %r" % (run.returncode, run.stderr))


def pixels(path, frame=None):
    """The picture's RGB bytes through ImageMagick; of a GIF, frame as shown (deltas applied)."""
    if frame is None:
        return subprocess.run(["convert", path, "-depth", "8", "ppm:-"], capture_output=True,
                              timeout=60).stdout[-480 * 320 * 3:]
    pattern = path + "-%d.ppm"
    subprocess.run(["convert", path, "-coalesce", "-depth", "8", pattern], timeout=60)
    with open(pattern % frame, "rb") as f:
        return f.read()[-480 * 320 * 3:]


def test_clip_of_a_replay(tmp):
    # A recorded match, clipped: the clip's frames are the moments --at shows, on the match's
    # own clock (from the first join), whatever the seed or players given beside --replay.
    replay = os.path.join(tmp, "four.replay")
    run = sim("--seconds", 14, "--seed", 11, "--script",
              os.path.join(DATA, "four_players_replay.txt"), "--record", replay)
    check(run.returncode == 0, "recording failed: " + run.stderr)
    clip, still = os.path.join(tmp, "replay.gif"), os.path.join(tmp, "replay.png")
    run = subprocess.run([SHOT, "--replay", replay, "--from", "10", "--to", "11", "--out", clip],
                         capture_output=True, text=True, timeout=120)
    check(run.returncode == 0, "the clip of a replay failed: " + run.stderr)
    run = subprocess.run([SHOT, "--replay", replay, "--at", "10.5", "--seed", "3", "--ai", "1",
                          "--out", still], capture_output=True, text=True, timeout=120)
    check(run.returncode == 0, "a picture of a replay failed: " + run.stderr)
    if shutil.which("convert") and check(os.path.exists(clip) and os.path.exists(still),
                                         "the clip or the picture was not written"):
        picture = pixels(still)
        # 10.5 s is the clip's frame 15 (30 a second from 10 s); its neighbour shows another moment.
        check(pixels(clip, 15) == picture, "the clip at 10.5 s is not the picture at 10.5 s")
        check(pixels(clip, 14) != picture, "the clip's frames do not move")
    # Past the recording's end, and a file that is not a replay: one line, status 2, no output.
    garbage = os.path.join(tmp, "garbage.replay")
    with open(garbage, "wb") as f:
        f.write(b"not a replay at all")
    late, still_late = os.path.join(tmp, "late.gif"), os.path.join(tmp, "late.png")
    for args, problem in ((["--replay", replay, "--from", "13", "--to", "20", "--out", late],
                           "the recording ends at"),
                          (["--replay", garbage, "--at", "1", "--out", still_late],
                           "not a replay")):
        run = subprocess.run([SHOT] + args, capture_output=True, text=True, timeout=60)
        check(run.returncode == 2 and problem in run.stderr and not os.path.exists(args[-1]),
              "%s: status %d, %r" % (args, run.returncode, run.stderr))


def test_computer_players_given_by_option_are_recorded(tmp):
    # --ai brings its players in as CTRL+digit would: the replay must bring them in too.
    replay = os.path.join(tmp, "ai.replay")
    run = sim("--seconds", 8, "--ai", "1,3", "--seed", 4, "--record", replay)
    check(run.returncode == 0, "recording failed: " + run.stderr)
    again = sim("--replay", replay)
    check(again.returncode == 0 and report(again)["catches"] == report(run)["catches"],
          "a recorded --ai run does not replay: status %d, %r" % (again.returncode, again.stderr))


def replay_with_version(data, version):
    """The same replay with another game version in its header (and the header's CRC redone)."""
    length = struct.unpack_from("<H", data, 10)[0]
    body = data[12:12 + length]
    old_length = body[20]
    new_body = body[:20] + bytes([len(version)]) + version + body[21 + old_length:]
    return (data[:10] + struct.pack("<H", len(new_body)) + new_body +
            struct.pack("<I", zlib.crc32(new_body)) + data[16 + length:])


def test_replays_cut_short_or_hostile(tmp):
    # A seed past 2^63, a file cut inside its last block (a full disk), and a header whose
    # version would steer the terminal: each replays, with its notes quoted on one line each.
    good = os.path.join(tmp, "big-seed.replay")
    seed = 2**63 + 5
    run = sim("--seconds", 8, "--ai", "1,3", "--seed", seed, "--record", good)
    check(run.returncode == 0, "recording failed: " + run.stderr)
    data = open(good, "rb").read()
    again = sim("--replay", good)
    check(again.returncode == 0 and report(again)["replay"]["seed"] == seed,
          "seed %d came back as %r" % (seed, again.stdout[-200:]))
    cut, hostile = os.path.join(tmp, "cut.replay"), os.path.join(tmp, "hostile.replay")
    with open(cut, "wb") as f:
        f.write(data[:-1])
    with open(hostile, "wb") as f:
        f.write(replay_with_version(data, b"\x1b[31mRED\x1b]0;title\x07"))
    for path, says in ((cut, "inside block"), (hostile, "recorded by version")):
        for tool in ([SIM, "--replay", path],
                     [SHOT, "--replay", path, "--at", "1", "--out", path + ".png"]):
            run = subprocess.run(tool, capture_output=True, timeout=120)
            name = "%s %s" % (os.path.basename(tool[0]), os.path.basename(path))
            check(run.returncode == 0, "%s: status %d, %r" % (name, run.returncode, run.stderr))
            check(says.encode() in run.stderr, "%s said %r" % (name, run.stderr))
            check(not any(b < 0x20 and b != 0x0a for b in run.stderr),
                  "%s: a control character reached the terminal: %r" % (name, run.stderr))


def main():
    with tempfile.TemporaryDirectory() as tmp:
        test_clip_of_a_win(tmp)
        test_clip_of_a_replay(tmp)
        test_computer_players_given_by_option_are_recorded(tmp)
        test_replays_cut_short_or_hostile(tmp)
        test_same_options_same_output(tmp)
        test_script_drives_the_players(tmp)
        test_escape_on_the_title_ends_the_run()
        test_bad_input_is_reported(tmp)
        test_what_cannot_be_done_is_refused_at_once(tmp)
        test_hostile_words_are_quoted_short_and_escaped(tmp)
        test_a_player_is_handed_to_the_computer_once(tmp)
        test_shot_output_is_tried_before_the_run(tmp)
        if MIXCHECK:
            test_mixcheck_takes_the_options_as_zindle_sim_does(tmp)
            test_mixcheck_recordings_are_checked(tmp)
        test_game_warnings_stay_off_standard_output(tmp)
        test_closed_standard_output_is_refused_before_the_run(tmp)
        test_screenshots(tmp)
    print("FAIL" if failures else "PASS")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
