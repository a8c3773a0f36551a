#!/usr/bin/env python3
"""The synthetic discs against a tool we did not write, and the build script's
check mode against an image that tool made.

- Every ISO the disc maker writes is read by xorriso, which must list the
  files and hand back SYSTEM.CNF with its BOOT2 line.
- An image made by xorriso with SOURCE_DATE_EPOCH is byte-for-byte the same
  twice, and the check mode reads it down to its boot file: accepted when its
  digest is on the list, rejected by SHA-1 when not, and by "boots" for
  another game.

Usage: disc_images_test.py SOURCE_DIR
"""
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile

SRC = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
MAKER = os.path.join(SRC, "demo", "make_disc.py")
TOOLS = os.path.join(SRC, "demo", "release", "source", "tools")
PY = sys.executable
failures = []


def expect(cond, what):
    print(("ok   " if cond else "FAIL ") + what)
    if not cond:
        failures.append(what)


def run(args, env=None, cwd=None):
    return subprocess.run(args, capture_output=True, text=True, timeout=120, env=env, cwd=cwd)


def check(script, image):
    r = run([PY, "-I", "-X", "utf8", script, "--check", "--disc", image])
    return r.returncode, r.stdout.splitlines()


def xorriso_files(image):
    r = run(["xorriso", "-indev", image, "-find", "/", "-type", "f"])
    return sorted(line.strip("'") for line in r.stdout.splitlines() if line.startswith("'/"))


def main():
    tmp = tempfile.mkdtemp(prefix="veyra-discs-")
    try:
        for kind, boot in (("right", "SLUS_209.99"), ("other", "SLES_512.34"), ("modified", "SLUS_209.99")):
            image = os.path.join(tmp, kind + ".iso")
            run([PY, MAKER, kind, image, "--size-mb", "1"]).check_returncode()
            files = xorriso_files(image)
            expect(files == sorted(["/DATA.PAK", "/MOVIE.PSS", "/SYSTEM.CNF", "/" + boot]),
                   "xorriso lists the files of %s: %s" % (kind, files))
            cnf = os.path.join(tmp, kind + ".cnf")
            run(["xorriso", "-osirrox", "on", "-indev", image, "-extract", "/SYSTEM.CNF", cnf])
            with open(cnf, "rb") as f:
                text = f.read()
            expect(("BOOT2 = cdrom0:\\%s;1" % boot).encode() in text, "xorriso extracts SYSTEM.CNF of " + kind)

        # An image xorriso made, with Rock Ridge records in its directories.
        tree = os.path.join(tmp, "tree")
        os.makedirs(os.path.join(tree, "MOVIES"))
        with open(os.path.join(tree, "SYSTEM.CNF"), "wb") as f:
            f.write(b"BOOT2 = cdrom0:\\SLUS_209.99;1\r\nVER = 1.00\r\nVMODE = NTSC\r\n")
        with open(os.path.join(tree, "SLUS_209.99"), "wb") as f:
            f.write(b"\x7fELF" + bytes(range(256)) * 64)
        with open(os.path.join(tree, "MOVIES", "INTRO.PSS"), "wb") as f:
            f.write(os.urandom(0) + b"movie" * 50000)
        env = dict(os.environ, SOURCE_DATE_EPOCH="1078228800")
        made = []
        for n in (1, 2):
            out = os.path.join(tmp, "xorriso%d.iso" % n)
            r = run(["xorriso", "-as", "mkisofs", "-R", "-V", "EMBERFALL", "-o", out, tree], env=env)
            expect(r.returncode == 0, "xorriso makes an image (run %d)" % n)
            with open(out, "rb") as f:
                made.append(hashlib.sha1(f.read()).hexdigest())
        expect(made[0] == made[1], "SOURCE_DATE_EPOCH makes xorriso's image reproducible")

        image = os.path.join(tmp, "xorriso1.iso")
        code, lines = check(os.path.join(TOOLS, "veyra_build.py"), image)
        expect(code == 1 and "INFO boot file SLUS_209.99" in lines and lines[-1].startswith("ERROR verify SHA-1 "),
               "check mode reads xorriso's image to its boot file and rejects its digest: %s" % lines[-1:])
        # The same script with that digest accepted.
        tools = os.path.join(tmp, "tools")
        os.makedirs(tools)
        shutil.copy(os.path.join(TOOLS, "veyra_build.py"), tools)
        with open(os.path.join(tools, "accepted_sha1.txt"), "w") as f:
            f.write("# test\n%s\n" % made[0])
        code, lines = check(os.path.join(tools, "veyra_build.py"), image)
        expect(code == 0 and lines[-1].startswith("OK ") and made[0] in lines[-1],
               "check mode accepts xorriso's image once its digest is listed: %s" % lines[-1:])

        os.remove(os.path.join(tree, "SLUS_209.99"))
        with open(os.path.join(tree, "SYSTEM.CNF"), "wb") as f:
            f.write(b"BOOT2 = cdrom0:\\SCUS_971.13;1\r\n")
        with open(os.path.join(tree, "SCUS_971.13"), "wb") as f:
            f.write(b"\x7fELF")
        other = os.path.join(tmp, "xorriso-other.iso")
        run(["xorriso", "-as", "mkisofs", "-R", "-o", other, tree], env=env).check_returncode()
        code, lines = check(os.path.join(TOOLS, "veyra_build.py"), other)
        expect(code == 1 and "boots SCUS_971.13" in lines[-1], "another game made by xorriso: %s" % lines[-1:])
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
