#!/usr/bin/env python3
"""End to end: the demo release at 0.1.6, pointed at the local release
service offering v0.1.7 and run with --update-now.

First a table of hostile releases: for each, the launcher (in its update-watch
self-test, which logs what the Play tab shows) must refuse, leave the release
folder byte for byte as it was, and tell the player why. Then the real thing:
it downloads, verifies and installs 0.1.7 without a click and restarts into it.

Every archive is packed and signed by scripts/make_release.py, as `make
release` does, with this build's test key (release-key/ in the build folder).

  update_e2e_test.py SOURCE_DIR DEMO_RELEASE_DIR [--wine]

With --wine the Windows launcher runs under Wine and its update script goes
through the test interpreter bridge (demo/wine_python); the running .exe is
replaced and the restart goes through CreateProcessW. Only the real thing runs
there, with the Windows archive signed by the Windows build's test key: the
hostile table runs on Linux only, since the checks it exercises are shared
code and a dozen more Wine launches would cost minutes each run.

The "next release" is the demo release itself with its launcher's compiled-in
version string moved from 0.1.6 to 0.1.7 (same length), so no second build is
needed. Needs a display (run under xvfb-run); exits 77 (skipped) without one.
"""
import concurrent.futures
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zipfile

SKIP = 77
WINE = "--wine" in sys.argv[3:]
SUFFIX = "-tambler.zip" if WINE else "-tambler-linux.zip"


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
    if not WINE:
        out = subprocess.run([launcher, "--version"], capture_output=True, text=True, timeout=30)
        return out.stdout + out.stderr
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


def start_bridge(source, work):
    """The stand-in interpreter's bridge: returns (process, "PORT TOKEN")."""
    port_file = os.path.join(work, "bridge-port")
    bridge = subprocess.Popen([sys.executable, os.path.join(source, "demo", "wine_python", "python_bridge.py"),
                               "--port-file", port_file, "--lifetime", "300"])
    for _ in range(100):
        if os.path.exists(port_file):
            break
        time.sleep(0.1)
    with open(port_file) as f:
        return bridge, f.read().strip()


def snapshot(folder):
    """Every entry under `folder`: bytes of files, targets of links, None for folders."""
    seen = {}
    for base, dirs, names in os.walk(folder):
        for name in dirs + names:
            path = os.path.join(base, name)
            rel = os.path.relpath(path, folder)
            if os.path.islink(path):
                seen[rel] = "link:" + os.readlink(path)
            elif os.path.isdir(path):
                seen[rel] = None
            else:
                with open(path, "rb") as f:
                    seen[rel] = f.read()
    return seen


def with_version(folder, version, commit_digit):
    """Moves a copied demo tree's launcher and release.ini to `version`."""
    launcher = launcher_in(folder)
    with open(launcher, "rb") as f:
        data = f.read()
    if data.count(b"0.1.6\x00") < 1:
        fail("no version string to move in the launcher")
    with open(launcher, "wb") as f:
        f.write(data.replace(b"0.1.6\x00", version.encode() + b"\x00"))
    os.chmod(launcher, 0o755)
    ini = os.path.join(folder, "source", "release.ini")
    with open(ini, encoding="utf-8") as f:
        text = f.read()
    # A new commit too: that is what makes the Play tab offer the rebuild.
    lines = [("commit=" + commit_digit * 40) if l.startswith("commit=") else l for l in text.splitlines()]
    with open(ini, "w", encoding="utf-8") as f:
        f.write("\n".join(lines).replace("version=0.1.6", "version=" + version) + "\n")


class Kit:
    def __init__(self, source, build, work):
        self.source, self.build, self.work = source, build, work
        self.tool = os.path.join(build, "release-key", "release_key")
        self.key = os.path.join(build, "release-key", "test-secret.hex")

    def release(self, tree, out, version):
        """Packs and signs `tree` as `make release` does; returns the archive path."""
        subprocess.run([sys.executable, os.path.join(self.source, "scripts", "make_release.py"), tree, out,
                        "--suffix=" + SUFFIX, "--tool", self.tool, "--key", self.key],
                       check=True, stdout=subprocess.DEVNULL)
        return os.path.join(out, "Morvane-%s%s" % (version, SUFFIX))

    def resign(self, archive, version, key=None):
        subprocess.run([self.tool, "sign", key or self.key, archive, version], check=True)


class Server:
    def __init__(self, source, work, assets, tag):
        ports = os.path.join(work, "ports-%d" % time.monotonic_ns())
        self.log = os.path.join(work, "requests.log")
        self.proc = subprocess.Popen([sys.executable, os.path.join(source, "tests", "standins", "release_server.py"),
                                      "--assets", assets, "--tag", tag, "--port-file", ports, "--lifetime", "300",
                                      "--log", self.log], stdout=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.exists(ports):
                break
            time.sleep(0.1)
        self.base = "http://127.0.0.1:%d" % int(open(ports).read().split()[1])

    def args(self):
        return ["--update-url", self.base + "/repos/TheTamblers/Morvane/releases/latest",
                "--download-prefix", self.base + "/download/", "--update-now"]

    def stop(self):
        self.proc.terminate()
        self.proc.wait()


def patch_declared_size(archive, name, size):
    """Makes entry `name` claim `size` unpacked bytes in both of its headers."""
    with open(archive, "rb") as f:
        data = bytearray(f.read())
    encoded = name.encode()
    for sig, size_at, name_at in ((b"PK\x03\x04", 22, 30), (b"PK\x01\x02", 24, 46)):
        at = data.find(sig)
        while at >= 0:
            if data[at + name_at:at + name_at + len(encoded)] == encoded:
                data[at + size_at:at + size_at + 4] = struct.pack("<I", size)
            at = data.find(sig, at + 4)
    with open(archive, "wb") as f:
        f.write(data)


def hostile_cases(kit, good_assets, old_archive, preload):
    """(name, tag, spoil(assets, release), expected log pattern). `spoil` changes a
    copy of the good assets, or the release's interpreter (before the snapshot)."""
    archive = lambda assets: os.path.join(assets, "Morvane-0.1.7" + SUFFIX)

    def tampered(assets, release):
        a = archive(assets)
        with zipfile.ZipFile(a, "a") as z:
            z.writestr("Morvane-0.1.7/source/tools/backdoor.py", "print('owned')\n")
        digest = subprocess.run(["sha256sum", a], capture_output=True, text=True, check=True).stdout.split()[0]
        with open(a + ".sha256", "w") as f:
            f.write("%s  %s\n" % (digest, os.path.basename(a)))

    def no_signature(assets, release):
        os.remove(archive(assets) + ".sig")

    def wrong_key(assets, release):
        other = os.path.join(kit.work, "other-secret.hex")
        if not os.path.exists(other):
            subprocess.run([kit.tool, "generate", other, other + ".pub"], check=True)
        kit.resign(archive(assets), "0.1.7", key=other)

    def garbled_signature(assets, release):
        with open(archive(assets) + ".sig") as f:
            text = f.read()
        last = text.rstrip("\n")[-1]
        with open(archive(assets) + ".sig", "w") as f:
            f.write(text.rstrip("\n")[:-1] + ("0" if last != "0" else "1") + "\n")

    def signature_of_another(assets, release):
        shutil.copy(old_archive + ".sig", archive(assets) + ".sig")

    def older_replayed(assets, release):
        # A genuine, signed older release served under the new name.
        for ext in ("", ".sha256", ".sig"):
            shutil.copy(old_archive + ext, archive(assets) + ext)

    def bomb(assets, release):
        a = archive(assets)
        with zipfile.ZipFile(a, "a", zipfile.ZIP_DEFLATED) as z:
            z.writestr("Morvane-0.1.7/source/zeros.bin", b"\0" * (1 << 20))
        patch_declared_size(a, "Morvane-0.1.7/source/zeros.bin", 0xFFFF0000)
        kit.resign(a, "0.1.7")  # signed: only the script's caps stand in the way

    def illegal_name(assets, release):
        a = archive(assets)
        with zipfile.ZipFile(a, "a") as z:
            z.writestr("Morvane-0.1.7/source/tools/AUX.py", "x")
        kit.resign(a, "0.1.7")

    def full_disk(assets, release):
        # The release's interpreter, wrapped so its 3rd write to a file fails.
        python = os.path.join(release, "kit", "python", "bin", "python3")
        real = os.path.realpath(python)
        os.remove(python)
        with open(python, "w") as f:
            f.write("#!/bin/sh\nLD_PRELOAD='%s' VEYRA_FAIL_WRITE_AT=3 exec '%s' \"$@\"\n" % (preload, real))
        os.chmod(python, 0o755)

    same = lambda assets, release: None
    refused = r"update: stage 4, "
    return [
        ("tampered archive, matching .sha256", "v0.1.7", tampered, refused + r"The download does not match the signed release"),
        ("missing signature", "v0.1.7", no_signature, refused + r"The download failed: no signature file \(HTTP 404\)"),
        ("signature by another key", "v0.1.7", wrong_key, refused + r"This release is not signed by the project"),
        ("garbled signature", "v0.1.7", garbled_signature, refused + r"This release is not signed by the project"),
        ("valid signature of another archive", "v0.1.7", signature_of_another,
         refused + r"The signature belongs to another release \(signed for Morvane-0\.1\.5"),
        ("older release replayed as newer", "v0.1.7", older_replayed, refused + r"The signature belongs to another release"),
        ("older version offered", "v0.1.5", same, r"update: stage 0, $"),
        ("same version offered", "v0.1.6", same, r"update: stage 0, $"),
        ("zip bomb", "v0.1.7", bomb, refused + r"the archive would unpack to \d+ bytes from \d+: it is not a release"),
        ("Windows-illegal name", "v0.1.7", illegal_name, refused + r"the archive holds a reserved device name"),
        ("full disk during the install", "v0.1.7", full_disk, refused + r"cannot unpack .*: No space left on device"),
    ]


def run_case(kit, demo, good_assets, disc, name, tag, spoil, pattern):
    """One hostile release; returns what went wrong, or None."""
    case = tempfile.mkdtemp(prefix="case-", dir=kit.work)
    release = os.path.join(case, "release")
    shutil.copytree(demo, release, symlinks=True)
    assets = os.path.join(case, "assets")
    shutil.copytree(good_assets, assets)
    spoil(assets, release)
    before = snapshot(release)
    user, shots = os.path.join(case, "user"), os.path.join(case, "shots")
    os.makedirs(user)
    with open(os.path.join(user, "launcher.ini"), "w") as f:
        # With a disc the Play tab shows the update card, failure text included.
        f.write("[launcher]\nupdate_check = 1\ndisc = %s\n" % disc)
    server = Server(kit.source, case, assets, tag)
    try:
        args = [launcher_in(release), "--release", release, "--shots", shots, "--selftest", disc, "--screens"]
        done = subprocess.run(args + server.args(), env=dict(os.environ, RA2V_USER_DIR=user), cwd=case,
                              timeout=150, capture_output=True, text=True)
    except subprocess.TimeoutExpired:
        return "the launcher did not finish"
    finally:
        server.stop()
    log_path = os.path.join(shots, "selftest.log")
    log = open(log_path, encoding="utf-8").read() if os.path.exists(log_path) else ""
    if done.returncode != 0:
        return "the launcher ended with %d\n%s" % (done.returncode, log)
    if not re.search(pattern, log, re.M):
        return "the player does not read the reason (%s)\n%s" % (pattern, log)
    after = snapshot(release)
    if after != before:
        changed = sorted(k for k in set(before) | set(after) if before.get(k) != after.get(k))
        return "the release folder changed: %s" % changed[:10]
    shutil.rmtree(case, ignore_errors=True)
    return None


def run_hostile(kit, demo, good_assets, cases, disc):
    # Each case waits mostly on its launcher and its server: a few side by side.
    with concurrent.futures.ThreadPoolExecutor(max_workers=3) as pool:
        results = pool.map(lambda c: (c[0], run_case(kit, demo, good_assets, disc, *c)), cases)
        problems = []
        for name, problem in results:
            print("%s: %s" % ("FAIL" if problem else "ok", name), flush=True)
            if problem:
                problems.append("%s: %s" % (name, problem))
    if problems:
        fail("\n".join(problems))


def main():
    source, demo = sys.argv[1], sys.argv[2]
    build = os.path.dirname(os.path.abspath(demo))
    if not os.environ.get("DISPLAY"):
        print("no display; skipped")
        return SKIP
    if not os.path.isdir(demo):
        print("no demo release at %s; skipped" % demo)
        return SKIP
    work = tempfile.mkdtemp(prefix="veyra-e2e-")
    kit = Kit(source, build, work)
    if not os.path.isfile(kit.key):
        print("this build has no test release key (VEYRA_RELEASE_PUBLIC_KEY is not 'test'); skipped")
        return SKIP
    server = None
    bridge = None
    started = []
    try:
        launcher = launcher_in(demo)
        if "0.1.6" not in version_of(launcher):
            fail("the demo launcher does not report 0.1.6: " + version_of(launcher))

        # The next release and an older one: the same tree at 0.1.7 and 0.1.5,
        # without the interpreter and without anything prepared.
        assets = os.path.join(work, "assets")
        old_assets = os.path.join(work, "old-assets")
        for version, digit, out in (("0.1.7", "7", assets), ("0.1.5", "5", old_assets)):
            tree = os.path.join(work, "tree-" + version)
            shutil.copytree(demo, tree, symlinks=True, ignore=shutil.ignore_patterns("game", "build"))
            with_version(tree, version, digit)
            kit.release(tree, out, version)
        if "0.1.7" not in version_of(launcher_in(os.path.join(work, "tree-0.1.7"))):
            fail("the next launcher does not report 0.1.7")
        with zipfile.ZipFile(os.path.join(assets, "Morvane-0.1.7" + SUFFIX)) as z:
            names = z.namelist()
        if any("/kit/python/" in n for n in names) or "Morvane-0.1.7/CHANGELOG.md" not in names:
            fail("the release archive is not laid out as a player unzips it: %s" % names[:20])

        preload = os.path.join(build, "bin", "fail_write_preload.so")
        disc = os.path.join(build, "demo-discs", "emberfall-usa.iso")
        if not WINE:
            run_hostile(kit, demo, assets,
                        hostile_cases(kit, assets, os.path.join(old_assets, "Morvane-0.1.5" + SUFFIX), preload), disc)

        # The happy path: installs 0.1.7 and restarts into it.
        release = os.path.join(work, "release")
        shutil.copytree(demo, release, symlinks=True)
        launcher = launcher_in(release)
        server = Server(source, work, assets, "v0.1.7")
        env = dict(os.environ, RA2V_USER_DIR=win(os.path.join(work, "user")))
        if WINE:
            bridge, env["VEYRA_PY_BRIDGE"] = start_bridge(source, work)
        first = subprocess.Popen(command(launcher) + server.args(), env=env, cwd=release)
        try:
            code = first.wait(timeout=150 if WINE else 60)
        except subprocess.TimeoutExpired:
            first.kill()
            print(open(server.log).read() if os.path.exists(server.log) else "no request reached the release service")
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
        raw = open("/proc/%d/cmdline" % started[0], "rb").read()
        if WINE:
            raw = raw.rstrip(b"\0") + b"\0"  # Wine pads its process's command line with NULs
        cmdline = raw.split(b"\0")
        if b"--update-now" not in cmdline or (server.base + "/download/").encode() not in cmdline:
            fail("the restart did not keep the arguments: %r" % cmdline)
        if cmdline[-3:-1] != [b"--updated-to", b"0.1.7"]:
            fail("the restart does not say which version it installed: %r" % cmdline)
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
        if os.path.exists(os.path.join(release, "update")):
            fail("the update folder was left behind: %s" % os.listdir(os.path.join(release, "update")))
        log = open(server.log).read()
        for asked in (".sha256", ".sig"):
            if "Morvane-0.1.7%s%s" % (SUFFIX, asked) not in log:
                fail("the %s file was never asked for" % asked)
        print("ok: updated to 0.1.7 and restarted (pid %d)" % started[0])
        return 0
    finally:
        for pid in started:
            try:
                os.kill(pid, signal.SIGTERM)
            except OSError:
                pass
        if server:
            server.stop()
        if bridge:
            bridge.terminate()
            bridge.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
