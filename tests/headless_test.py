#!/usr/bin/env python3
"""The headless commands of the real launcher against fresh copies of the demo
release: every JSON line is checked against a small schema, the exit codes and
the files the commands leave behind are checked too.

  headless_test.py SOURCE_DIR BUILD_DIR [wine]

With "wine" the Windows launcher runs what it can without an interpreter in
its kit: --help, --status, and --verify / --prepare against the missing kit.
The game runs need a display for the stand-in game; without one they are
skipped (everything else runs with DISPLAY and WAYLAND_DISPLAY unset).
"""
import json
import os
import pty
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

TIMEOUT = 120
STEPS = ["verify", "extract", "configure", "tools", "recompile", "packs", "compile", "stage"]
REASONS = {"another-game", "modified", "missing", "not-an-image", "could-not-check"}


def fail(message):
    print("FAIL: " + message, flush=True)
    sys.exit(1)


# ------------------------------------------------------------------ schema

def is_num(v):
    return isinstance(v, (int, float)) and not isinstance(v, bool)


def one_of(*allowed):
    return lambda v: v in allowed


def text_or_null(v):
    return v is None or isinstance(v, str)


def num_or_null(v):
    return v is None or is_num(v)


SCHEMA = {
    "verify": {"image": lambda v: isinstance(v, str) and v, "accepted": lambda v: isinstance(v, bool),
               "reason": lambda v: v is None or v in REASONS, "message": lambda v: isinstance(v, str) and v,
               "detail": lambda v: isinstance(v, str)},
    "step": {"step": lambda v: v in STEPS, "state": one_of("running", "done", "skipped", "failed"),
             "seconds": num_or_null},
    "progress": {"percent": lambda v: isinstance(v, int) and 0 <= v <= 100, "elapsed": lambda v: is_num(v) and v >= 0,
                 "secondsLeft": num_or_null, "step": lambda v: v is None or v in STEPS},
    "result": {"result": one_of("ready", "failed", "stopped"), "seconds": lambda v: is_num(v) and v >= 0,
               "failedStep": text_or_null, "message": lambda v: isinstance(v, str) and v},
    "game": {"state": one_of("started", "exited"), "exitCode": lambda v: v is None or isinstance(v, int),
             "crashReport": text_or_null},
    "status": {"launcherVersion": lambda v: v == "0.1.6", "releaseDir": lambda v: isinstance(v, str) and v,
               "sourceVersion": text_or_null, "sourceCommit": lambda v: re.fullmatch("[0-9a-f]{40}", v or ""),
               "missingItem": text_or_null, "userDir": lambda v: isinstance(v, str) and v, "disc": text_or_null,
               "portable": lambda v: isinstance(v, bool), "userDirWritable": lambda v: isinstance(v, bool),
               "discAccepted": lambda v: isinstance(v, bool), "discFound": lambda v: isinstance(v, bool),
               "prepared": lambda v: isinstance(v, bool), "builtFromCommit": text_or_null,
               "needsRebuild": lambda v: isinstance(v, bool), "buildPending": lambda v: isinstance(v, bool),
               "pendingSeconds": is_num, "lastBuildSeconds": num_or_null,
               "signaturesChecked": lambda v: isinstance(v, bool),
               "crashReports": lambda v: isinstance(v, list) and all(isinstance(x, str) for x in v)},
    "desktopEntry": {"entry": lambda v: isinstance(v, str) and v,
                     "icons": lambda v: isinstance(v, list) and all(isinstance(x, str) for x in v)},
    "error": {"error": lambda v: isinstance(v, str) and v, "message": lambda v: isinstance(v, str) and v},
}


def check_events(stdout, what):
    """Every line of standard output is one JSON object that fits the schema."""
    events = []
    for line in stdout.splitlines():
        try:
            obj = json.loads(line)
        except ValueError:
            fail("%s: not a JSON line: %r" % (what, line))
        fields = SCHEMA.get(obj.get("event"))
        if fields is None:
            fail("%s: unknown event: %r" % (what, line))
        for name, ok in fields.items():
            if name not in obj or not ok(obj[name]):
                fail("%s: bad or missing %r in %r" % (what, name, line))
        if obj["event"] == "result":
            if (obj["result"] == "failed") != ("report" in obj) or (obj["result"] == "failed") != (
                    obj["failedStep"] is not None):
                fail("%s: report and failedStep go with a failure only: %r" % (what, line))
        events.append(obj)
    # At most 4 progress events a second, by the launcher's own clock.
    times = [e["elapsed"] for e in events if e["event"] == "progress"]
    for a, b in zip(times, times[1:]):
        if b - a < 0.24:  # 0.25 s apart before rounding to hundredths
            fail("%s: progress events %.1f and %.1f too close" % (what, a, b))
    return events


def of(events, name):
    return [e for e in events if e["event"] == name]


def last_state(events):
    states = {}
    for e in of(events, "step"):
        states[e["step"]] = e["state"]
    return states


# ------------------------------------------------------------------ runs

class Release:
    """A fresh copy of the demo release with its own user folder."""

    def __init__(self, work, name, build, runner):
        self.dir = os.path.join(work, name)
        shutil.copytree(os.path.join(build, "demo-release"), self.dir, symlinks=True)
        self.user = os.path.join(work, name + "-user")
        os.makedirs(self.user)
        with open(os.path.join(self.user, "launcher.ini"), "w") as f:
            f.write("[launcher]\nupdate_check = 0\nlanguage = en\n")
        self.runner = runner
        exe = "veyra-launcher.exe" if runner else "veyra-launcher"
        self.launcher = os.path.join(self.dir, exe)

    def path(self, p):
        return "Z:" + p if self.runner else p

    def env(self, extra=None, display=False):
        env = dict(os.environ)
        env["RA2V_USER_DIR"] = self.path(self.user)
        env["VEYRA_BUILD_SPEED"] = "0.02"
        if not display:
            env.pop("DISPLAY", None)
            env.pop("WAYLAND_DISPLAY", None)
        env.update(extra or {})
        return env

    def command(self, args):
        cmd = [self.launcher, "--release", self.path(self.dir)] + args
        return ([self.runner] + cmd) if self.runner else cmd

    def run(self, args, code, extra=None, display=False, json_out=True, cwd=None):
        what = " ".join(args)
        p = subprocess.run(self.command(args), env=self.env(extra, display), capture_output=True, text=True,
                           timeout=TIMEOUT, cwd=cwd)
        if p.returncode != code:
            fail("%s: exit code %d, expected %d\n%s%s" % (what, p.returncode, code, p.stdout, p.stderr))
        return check_events(p.stdout, what) if json_out else p.stdout

    def ini(self, name="launcher.ini"):
        try:
            with open(os.path.join(self.user, name)) as f:
                return dict(re.findall(r"^\s*(\w+)\s*=\s*(.*?)\s*$", f.read(), re.M))
        except OSError:
            return {}


USAGE_CASES = (["--json"], ["--json", "--verify"], ["--json", "--status", "--prepare"],
               ["--json", "--play", "--video-size", "100x100"], ["--json", "--verify", "x.iso", "--disc", "y"])


def check_usage_and_help(rel, source, cases=USAGE_CASES):
    help_text = rel.run(["--help"], 0, json_out=False)
    with open(os.path.join(source, "src", "app", "options.cpp")) as f:
        options = set(re.findall(r'a == "(--[a-z-]+)"', f.read()))
    missing = [o for o in sorted(options) if o not in help_text]
    if len(options) < 20 or missing:
        fail("--help does not list %s" % missing)
    for args in cases:
        events = rel.run(args, 2)
        if [e["error"] for e in events] != ["usage"]:
            fail("%s: expected one usage error, got %r" % (args, events))


def check_verify(rel, discs):
    cases = [("holiday-photo.iso", "not-an-image"), ("another-game.iso", "another-game"),
             ("modified-copy.iso", "modified"), ("no-such-disc.iso", "missing"), ("emberfall-usa.iso", None)]
    for name, reason in cases:
        # Given from its own folder: the script runs elsewhere, and the path
        # recorded must still lead to the image.
        events = rel.run(["--verify", name, "--json"], 0 if reason is None else 1, cwd=discs)
        if len(events) != 1 or events[0]["event"] != "verify":
            fail("verify %s: expected one verify event, got %r" % (name, events))
        v = events[0]
        if v["accepted"] != (reason is None) or v["reason"] != reason:
            fail("verify %s: %r" % (name, v))
    if rel.ini().get("disc") != os.path.join(discs, "emberfall-usa.iso"):
        fail("the accepted disc is not recorded: %r" % rel.ini())
    # A rejection leaves the accepted disc recorded, as the window does.
    rel.run(["--verify", os.path.join(discs, "another-game.iso"), "--json"], 1)
    if rel.ini().get("disc") != os.path.join(discs, "emberfall-usa.iso"):
        fail("a rejection replaced the recorded disc")


def check_could_not_check(work, build, discs):
    rel = Release(work, "nopython", build, None)
    python = os.path.join(rel.dir, "kit", "python", "bin", "python3")
    os.remove(python)
    with open(python, "w") as f:
        f.write("not a program\n")
    os.chmod(python, 0o644)
    v = rel.run(["--verify", os.path.join(discs, "emberfall-usa.iso"), "--json"], 1)[0]
    if v["reason"] != "could-not-check" or not v["detail"]:
        fail("an interpreter that cannot start: %r" % v)


def check_missing_kit(rel, discs):
    shutil.rmtree(os.path.join(rel.dir, "kit"))
    for args in (["--verify", rel.path(os.path.join(discs, "emberfall-usa.iso"))], ["--prepare"]):
        events = rel.run(args + ["--json"], 2)
        if len(events) != 1 or events[0]["error"] != "missing-item" or not events[0].get("missingItem"):
            fail("%s with no kit: %r" % (args, events))
    status = rel.run(["--status", "--json"], 0)
    if len(status) != 1 or not status[0]["missingItem"]:
        fail("--status with no kit: %r" % status)


def check_portable(work, build, runner):
    """portable.txt beside the launcher, in a folder whose name is not ASCII:
    the user folder is "user" there, ahead of APPDATA and the XDG folders;
    RA2V_USER_DIR still wins; a "user" that cannot be a folder is reported,
    never swapped for another folder."""
    rel = Release(os.path.join(work, "Clé USB"), "Émbre 火", build, runner)
    with open(os.path.join(rel.dir, "portable.txt"), "w"):
        pass
    beside = os.path.join(rel.dir, "user")
    unset = {"RA2V_USER_DIR": "", "APPDATA": os.path.join(work, "appdata")} if not runner else {"RA2V_USER_DIR": ""}

    def same(a, b):  # Wine reports Z:\... paths
        norm = lambda p: p.replace("\\", "/").lower().removeprefix("z:")
        return norm(a) == norm(b)

    status = rel.run(["--status", "--json"], 0, extra=unset)[0]
    if not same(status["userDir"], beside) or not status["portable"] or not status["userDirWritable"]:
        fail("portable: %r" % status)
    if not os.path.isdir(beside):
        fail("portable: the user folder beside the launcher was not created")
    if "(portable mode)" not in rel.run(["--status"], 0, extra=unset, json_out=False):
        fail("portable: the text status does not say so")
    status = rel.run(["--status", "--json"], 0)[0]
    if not same(status["userDir"], rel.user) or status["portable"]:
        fail("portable with RA2V_USER_DIR set: %r" % status)
    shutil.rmtree(beside)
    with open(beside, "w") as f:
        f.write("a file where the folder goes")
    status = rel.run(["--status", "--json"], 0, extra=unset)[0]
    if not same(status["userDir"], beside) or status["userDirWritable"]:
        fail("portable folder that cannot be made: %r" % status)


def check_full_prepare_and_play(rel, discs, display):
    before = rel.run(["--status", "--json"], 0)[0]
    if before["prepared"] or before["disc"] is not None or before["lastBuildSeconds"] is not None:
        fail("status of a fresh user folder: %r" % before)
    events = rel.run(["--prepare", "--disc", os.path.join(discs, "emberfall-usa.iso"), "--json"], 0)
    if not of(events, "verify") or not of(events, "verify")[0]["accepted"]:
        fail("prepare --disc: no accepted verify event")
    if last_state(events) != {s: "done" for s in STEPS}:
        fail("prepare: steps %r" % last_state(events))
    result = of(events, "result")
    if len(result) != 1 or result[0]["result"] != "ready" or events[-1] is not result[0]:
        fail("prepare: result %r" % result)
    after = rel.run(["--status", "--json"], 0)[0]
    if not after["prepared"] or after["buildPending"] or after["needsRebuild"] or not after["discAccepted"]:
        fail("status after prepare: %r" % after)

    if not display:
        print("note: no display for the stand-in game; the game runs are skipped")
        return
    events = rel.run(["--play", "--json", "--video-mode", "windowed", "--video-size", "800x600"], 0,
                     extra={"RA2V_TEST_QUIT": "1"}, display=True)
    game = of(events, "game")
    if [g["state"] for g in game] != ["started", "exited"] or game[1]["exitCode"] != 0 or game[1]["crashReport"]:
        fail("a clean game run: %r" % game)
    video = rel.ini("video.ini")
    if video.get("size") != "800x600" or video.get("mode") != "windowed":
        fail("video.ini after --video-size: %r" % video)
    events = rel.run(["--play", "--json"], 1, extra={"RA2V_TEST_CRASH": "1", "RA2V_NO_DIALOGS": "1"},
                     display=True)
    exited = of(events, "game")[-1]
    if exited["exitCode"] == 0 or not exited["crashReport"] or not os.path.isfile(exited["crashReport"]):
        fail("a crashed game run: %r" % exited)
    if exited["crashReport"] not in rel.run(["--status", "--json"], 0)[0]["crashReports"]:
        fail("--status does not list the crash report")


def stop_during_compile(rel, sig):
    """Starts --prepare, sends `sig` once the compile step runs; the run's events."""
    env = rel.env({"VEYRA_STEP_SECONDS": "compile=60"})
    p = subprocess.Popen(rel.command(["--prepare", "--json"]), env=env, stdout=subprocess.PIPE, text=True)
    lines = []
    deadline = time.monotonic() + TIMEOUT
    try:
        for line in p.stdout:
            lines.append(line)
            if '"step":"compile","state":"running"' in line.replace(" ", ""):
                time.sleep(0.5)
                p.send_signal(sig)
                break
            if time.monotonic() > deadline:
                fail("the compile step never started")
        lines += p.stdout.readlines()
        code = p.wait(timeout=30)
    finally:
        if p.poll() is None:
            p.kill()
    events = check_events("".join(lines), "prepare (stopped by %s)" % sig.name)
    result = of(events, "result")
    if code != 130 or len(result) != 1 or result[0]["result"] != "stopped":
        fail("prepare stopped by %s: exit %d, %r" % (sig.name, code, result))
    return events


def check_stop_and_resume(rel, discs):
    rel.run(["--verify", os.path.join(discs, "emberfall-usa.iso"), "--json"], 0)
    banked = 0.0
    # Each stop request banks the run's time on top of the earlier runs'.
    for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        stop_during_compile(rel, sig)
        ini = rel.ini()
        now_banked = float(ini.get("pending_build_seconds", "0") or 0)
        if ini.get("build_pending") != "1" or now_banked < banked + 0.4:
            fail("the run stopped by %s was not banked (%.1f s before): %r" % (sig.name, banked, ini))
        banked = now_banked

    events = rel.run(["--prepare", "--json"], 0, extra={"VEYRA_STEP_SECONDS": "compile=0.3"})
    states = last_state(events)
    if any(states.get(s) != "skipped" for s in STEPS[:6]) or states.get("compile") != "done":
        fail("the resumed run did not skip the finished steps: %r" % states)
    result = of(events, "result")[0]
    if result["result"] != "ready" or result["seconds"] < banked:
        fail("the resumed run's time does not include the stopped one (%.1f s): %r" % (banked, result))


def check_failed_build(rel, discs):
    events = rel.run(["--prepare", "--disc", os.path.join(discs, "emberfall-usa.iso"), "--json"], 1,
                     extra={"VEYRA_BUILD_FAIL": "packs:No space left on device"})
    result = of(events, "result")[0]
    if result["result"] != "failed" or result["failedStep"] != "packs" or "No space" not in result["message"]:
        fail("failed build: %r" % result)
    report = result["report"]
    if "Step: packs\nMessage: No space left on device" not in report or "--- packs.log" not in report:
        fail("failed build's report: %r" % report)
    if last_state(events).get("packs") != "failed":
        fail("failed build: the packs step is not failed: %r" % last_state(events))


def check_text_output(rel, discs):
    """Plain lines in the launcher's language; a live line on a terminal."""
    with open(os.path.join(rel.user, "launcher.ini"), "w") as f:
        f.write("[launcher]\nupdate_check = 0\nlanguage = fr\n")
    out = rel.run(["--verify", os.path.join(discs, "another-game.iso")], 1, json_out=False)
    if "Cette image disque est un autre jeu." not in out or "{" in out:
        fail("French plain verify: %r" % out)
    out = rel.run(["--prepare", "--disc", os.path.join(discs, "emberfall-usa.iso")], 0, json_out=False)
    if "\r" in out or "Le jeu est prêt. Préparé en " not in out or "Compilation (la partie longue) : fait" not in out:
        fail("French plain prepare: %r" % out)
    # On a terminal the progress line is redrawn in place.
    pid, fd = pty.fork()
    if pid == 0:
        env = rel.env({"VEYRA_STEP_SECONDS": "compile=1.5"})
        os.execve(rel.launcher, rel.command(["--prepare"]), env)
    data = b""
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline:
        ready, _, _ = select.select([fd], [], [], 1)
        if not ready:
            continue
        try:
            chunk = os.read(fd, 4096)
        except OSError:
            break
        if not chunk:
            break
        data += chunk
    _, status = os.waitpid(pid, 0)
    text = data.decode("utf-8", "replace")
    if os.waitstatus_to_exitcode(status) != 0 or not re.search(r"\r\d+ %  ·  Écoulé \d+:\d\d", text):
        fail("no live progress line on a terminal: %r" % text)


def main():
    source, build = sys.argv[1], os.path.abspath(sys.argv[2])
    runner = sys.argv[3] if len(sys.argv) > 3 else None
    discs = os.path.join(build, "demo-discs")
    work = tempfile.mkdtemp(prefix="veyra-headless-")
    try:
        if runner:
            rel = Release(work, "wine", build, runner)
            # Each Wine start is slow; the usage rules are the same code as on Linux.
            check_usage_and_help(rel, source, USAGE_CASES[:1])
            check_missing_kit(rel, discs)
            check_portable(work, build, runner)
            print("headless (wine): --help, usage errors, --status, the missing kit and portable mode ok")
            return 0
        check_usage_and_help(Release(work, "usage", build, None), source)
        check_verify(Release(work, "verify", build, None), discs)
        check_could_not_check(work, build, discs)
        check_missing_kit(Release(work, "nokit", build, None), discs)
        check_portable(work, build, None)
        check_full_prepare_and_play(Release(work, "full", build, None), discs, bool(os.environ.get("DISPLAY")))
        check_stop_and_resume(Release(work, "resume", build, None), discs)
        check_failed_build(Release(work, "failed", build, None), discs)
        check_text_output(Release(work, "text", build, None), discs)
        print("headless: ok")
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
