#!/usr/bin/env python3
"""End to end: the demo release at 0.1.6, pointed at the local release
service offering v0.1.7 and run with --update-now, downloads, verifies and
installs that release without a click, then restarts into it.

  update_e2e_test.py SOURCE_DIR DEMO_RELEASE_DIR [--wine]

With --wine the Windows launcher runs under Wine and its update script goes
through the test interpreter bridge (demo/wine_python); the running .exe is
replaced and the restart goes through CreateProcessW.

The "next release" is the demo release itself with its launcher's compiled-in
version string moved from 0.1.6 to 0.1.7 (same length), so no second build is
needed. Needs a display (run under xvfb-run); exits 77 (skipped) without one.
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77
WINE = "--wine" in sys.argv[3:]


def fail(message):
    print("FAIL: " + message, flush=True)
    sys.exit(1)


def launcher_in(folder):
    for name in ("veyra-launcher", "veyra-launcher.exe"):
        if os.path.isfile(os.path.join(folder, name)):
            return os.path.join(folder, name)
    fail("no launcher in " + folder)


def win(path):
    """The path as the launcher sees it: under Wine, on drive Z:."""
    return "Z:" + path.replace("/", "\\") if WINE else path


def command(launcher):
    return ["wine", launcher] if WINE else [launcher]


def version_of(launcher):
    # A windowed Windows program has no console to print to: read the report.
    with tempfile.TemporaryDirectory(prefix="veyra-version-") as tmp:
        report = os.path.join(tmp, "report.txt")
        out = subprocess.run(command(launcher) + ["--version", "--report", win(report)], capture_output=True,
                             text=True, timeout=60)
        try:
            with open(report, encoding="utf-8") as f:
                return f.read()
        except OSError:
            return out.stdout + out.stderr


def processes_running(exe):
    """Process ids running `exe` (exact path): by the executable on Linux, by
    the program Wine's process holds as its first argument under Wine."""
    found = []
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            if WINE:
                with open("/proc/%s/cmdline" % pid, "rb") as f:
                    first = f.read().split(b"\0")[0].decode("utf-8", "replace")
                if first.replace("\\", "/").lower().endswith(exe.replace("\\", "/").lower()):
                    found.append(int(pid))
            elif os.path.realpath("/proc/%s/exe" % pid) == os.path.realpath(exe):
                found.append(int(pid))
        except OSError:
            pass
    return found


def start_bridge(work):
    """The stand-in interpreter's bridge: returns (process, "PORT TOKEN")."""
    port_file = os.path.join(work, "bridge-port")
    bridge = subprocess.Popen([sys.executable, os.path.join(SOURCE, "demo", "wine_python", "python_bridge.py"),
                               "--port-file", port_file, "--lifetime", "300"])
    for _ in range(100):
        if os.path.exists(port_file):
            break
        time.sleep(0.1)
    with open(port_file) as f:
        return bridge, f.read().strip()


def main():
    global SOURCE
    source, demo = sys.argv[1], sys.argv[2]
    SOURCE = source
    if not os.environ.get("DISPLAY"):
        print("no display; skipped")
        return SKIP
    if not os.path.isdir(demo):
        print("no demo release at %s; skipped" % demo)
        return SKIP
    work = tempfile.mkdtemp(prefix="veyra-e2e-")
    server = None
    bridge = None
    started = []
    try:
        release = os.path.join(work, "release")
        shutil.copytree(demo, release, symlinks=True)
        launcher = launcher_in(release)
        script = os.path.join(release, "source", "tools", "apply_update.py")
        if not os.path.isfile(script):
            # An older demo layout step may not copy it yet.
            print("note: the demo release has no apply_update.py; using the source tree's")
            shutil.copy2(os.path.join(source, "demo", "release", "source", "tools", "apply_update.py"), script)
        if "0.1.6" not in version_of(launcher):
            fail("the demo launcher does not report 0.1.6: " + version_of(launcher))

        # The next release: the same tree at 0.1.7, without the interpreter
        # (a link to the system's here) and without anything prepared.
        nxt = os.path.join(work, "next")
        shutil.copytree(demo, nxt, symlinks=True, ignore=shutil.ignore_patterns("python", "game", "build"))
        nxt_launcher = launcher_in(nxt)
        with open(nxt_launcher, "rb") as f:
            data = f.read()
        if data.count(b"0.1.6\x00") < 1:
            fail("no version string to move in the launcher")
        with open(nxt_launcher, "wb") as f:
            f.write(data.replace(b"0.1.6\x00", b"0.1.7\x00"))
        os.chmod(nxt_launcher, 0o755)
        ini = os.path.join(nxt, "source", "release.ini")
        with open(ini, encoding="utf-8") as f:
            text = f.read()
        # A new commit too: that is what makes the Play tab offer the rebuild.
        lines = [("commit=" + "7" * 40) if l.startswith("commit=") else l for l in text.splitlines()]
        with open(ini, "w", encoding="utf-8") as f:
            f.write("\n".join(lines).replace("version=0.1.6", "version=0.1.7") + "\n")
        if "0.1.7" not in version_of(nxt_launcher):
            fail("the next launcher does not report 0.1.7")

        assets = os.path.join(work, "assets")
        os.makedirs(assets)
        subprocess.run([sys.executable, os.path.join(source, "tests", "standins", "make_release_zip.py"), nxt,
                        os.path.join(assets, "Morvane-0.1.7-tambler.zip"), "--top", "Morvane-0.1.7"], check=True)

        ports = os.path.join(work, "ports")
        server = subprocess.Popen([sys.executable, os.path.join(source, "tests", "standins", "release_server.py"),
                                   "--assets", assets, "--tag", "v0.1.7", "--port-file", ports, "--lifetime", "300",
                                   "--log", os.path.join(work, "requests.log")], stdout=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.exists(ports):
                break
            time.sleep(0.1)
        port = int(open(ports).read().split()[1])
        base = "http://127.0.0.1:%d" % port

        env = dict(os.environ, RA2V_USER_DIR=win(os.path.join(work, "user")))
        if WINE:
            bridge, env["VEYRA_PY_BRIDGE"] = start_bridge(work)
        args = command(launcher) + ["--update-url", base + "/repos/TheTamblers/Morvane/releases/latest",
                "--download-prefix", base + "/download/", "--update-now"]
        first = subprocess.Popen(args, env=env, cwd=release)
        try:
            code = first.wait(timeout=150 if WINE else 60)
        except subprocess.TimeoutExpired:
            first.kill()
            print(open(os.path.join(work, "requests.log")).read() if os.path.exists(os.path.join(work, "requests.log"))
                  else "no request reached the release service")
            print(sorted(os.listdir(release)))
            print(open(os.path.join(release, "source", "release.ini")).read())
            fail("the launcher did not update and close in time")
        if code != 0:
            fail("the updating launcher ended with %d" % code)

        # The restarted launcher is the new one, in the same place.
        deadline = time.time() + 30
        while time.time() < deadline and not processes_running(launcher):
            time.sleep(0.2)
        started = processes_running(launcher)
        if not started:
            fail("no launcher was started again")
        cmdline = open("/proc/%d/cmdline" % started[0], "rb").read().split(b"\0")
        if b"--update-now" not in cmdline or (base + "/download/").encode() not in cmdline:
            fail("the restart did not keep the arguments: %r" % cmdline)
        if "0.1.7" not in version_of(launcher):
            fail("the installed launcher does not report 0.1.7: " + version_of(launcher))
        with open(os.path.join(release, "source", "release.ini"), encoding="utf-8") as f:
            text = f.read()
            if "version=0.1.7" not in text or "commit=" + "7" * 40 not in text:
                fail("release.ini was not replaced")
        if WINE:
            with open(os.path.join(release, "kit", "python", "python.exe"), "rb") as a, \
                    open(os.path.join(demo, "kit", "python", "python.exe"), "rb") as b:
                if a.read() != b.read():
                    fail("the release's own interpreter was touched")
        elif not os.path.islink(os.path.join(release, "kit", "python", "bin", "python3")):
            fail("the release's own interpreter was touched")
        log = open(os.path.join(work, "requests.log")).read()
        if "Morvane-0.1.7-tambler.zip.sha256" not in log:
            fail("the checksum file was never asked for")
        print("ok: updated to 0.1.7 and restarted (pid %d)" % started[0])
        return 0
    finally:
        for pid in started:
            try:
                os.kill(pid, signal.SIGTERM)
            except OSError:
                pass
        for service in (server, bridge):
            if service:
                service.terminate()
                service.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
