#!/usr/bin/env python3
"""The release's update script on its own: what it installs, what it refuses
(a table of hostile and broken archives), and that every failure, wherever it
strikes, leaves the release byte for byte as it was and nothing in update/.

  apply_update_test.py SOURCE_DIR
"""
import contextlib
import hashlib
import importlib.util
import io
import os
import shutil
import stat
import struct
import sys
import tempfile
import unittest
import zipfile

SOURCE = sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
SCRIPT = os.path.join(SOURCE, "demo", "release", "source", "tools", "apply_update.py")

found = importlib.util.spec_from_file_location("apply_update", SCRIPT)
apply_update = importlib.util.module_from_spec(found)
found.loader.exec_module(apply_update)

NEW = {"launcher.bin": "new launcher", "source/release.ini": "version=0.1.7\n", "source/tools/b.py": "new b",
       "source/added/c.txt": "added"}


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def snapshot(folder):
    """Every path under `folder` with its bytes (None for folders)."""
    seen = {}
    for base, dirs, names in os.walk(folder):
        for d in dirs:
            seen[os.path.relpath(os.path.join(base, d), folder)] = None
        for n in names:
            with open(os.path.join(base, n), "rb") as f:
                seen[os.path.relpath(os.path.join(base, n), folder)] = f.read()
    return seen


class ApplyUpdate(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="veyra-apply-")
        self.release = os.path.join(self.dir, "release")
        self.update = os.path.join(self.release, "update")
        os.makedirs(os.path.join(self.release, "source", "tools"))
        os.makedirs(self.update)
        self.write(os.path.join(self.release, "launcher.bin"), "old launcher")
        self.write(os.path.join(self.release, "source", "release.ini"), "version=0.1.6\n")
        self.write(os.path.join(self.release, "source", "tools", "b.py"), "old b")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def write(self, path, text):
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)

    def read(self, path):
        with open(path, encoding="utf-8") as f:
            return f.read()

    def archive(self, files, version="0.1.7", checksum=True, raw=None):
        """An archive of `files` (name -> text), or of the bytes `raw`, with its checksum file."""
        os.makedirs(self.update, exist_ok=True)  # a failed run takes it away
        zip_path = os.path.join(self.update, "Morvane-%s-tambler.zip" % version)
        if raw is not None:
            with open(zip_path, "wb") as f:
                f.write(raw)
        else:
            with zipfile.ZipFile(zip_path, "w", zipfile.ZIP_DEFLATED) as z:
                for name, text in files.items():
                    z.writestr(name, text)
        with open(zip_path, "rb") as f:
            digest = hashlib.sha256(f.read()).hexdigest() if checksum else "0" * 64
        self.write(zip_path + ".sha256", "%s  %s\n" % (digest, os.path.basename(zip_path)))
        return zip_path

    def run_script(self, zip_path, version="0.1.7", argv=None):
        out = io.StringIO()
        if argv is None:
            argv = ["--zip", zip_path, "--sha256", zip_path + ".sha256", "--version", version,
                    "--install", self.release]
        with contextlib.redirect_stdout(out), contextlib.redirect_stderr(out):
            code = apply_update.main(argv)
        return code, out.getvalue().splitlines()

    def assert_refused(self, zip_path, words, before, **kw):
        code, lines = self.run_script(zip_path, **kw)
        self.assertNotEqual(code, 0, lines)
        self.assertTrue(lines and lines[-1].startswith("error "), lines)
        self.assertNotIn("Traceback", "\n".join(lines))
        self.assertIn(words, lines[-1])
        self.assertEqual(snapshot(self.release), before, "the release is byte for byte as before")

    def untouched(self):
        """The release as it must be after a failure: update/ gone with the download."""
        state = snapshot(self.release)
        return {k: v for k, v in state.items() if not k.startswith("update")}

    # ------------------------------------------------------------ success

    def test_installs_a_wrapped_release(self):
        wrapped = {"Morvane-0.1.7/" + k: v for k, v in NEW.items()}
        wrapped["Morvane-0.1.7/update/stray.txt"] = "never installed"
        z = self.archive(wrapped)
        code, lines = self.run_script(z)
        self.assertEqual(code, 0, lines)
        self.assertEqual([l for l in lines if l.startswith("step ")], ["step verify", "step extract", "step install"])
        self.assertEqual(lines[-1], "done ok")
        self.assertEqual(self.read(os.path.join(self.release, "launcher.bin")), "new launcher")
        self.assertEqual(self.read(os.path.join(self.release, "source", "added", "c.txt")), "added")
        self.assertFalse(os.path.exists(self.update), "nothing left to clean up")
        self.assertFalse([p for p in snapshot(self.release) if p.endswith(".veyra-old")])

    def test_wrapper_with_a_readme_beside_it_is_still_unwrapped(self):
        wrapped = {"Morvane-0.1.7/" + k: v for k, v in NEW.items()}
        wrapped["README.txt"] = "read me"
        code, lines = self.run_script(self.archive(wrapped))
        self.assertEqual(code, 0, lines)
        self.assertEqual(self.read(os.path.join(self.release, "source", "release.ini")), "version=0.1.7\n")
        self.assertFalse(os.path.exists(os.path.join(self.release, "Morvane-0.1.7")))

    def test_relative_release_folder(self):
        z = self.archive(NEW)
        cwd = os.getcwd()
        os.chdir(self.dir)
        try:
            code, lines = self.run_script(None, argv=["--zip", z, "--sha256", z + ".sha256", "--version", "0.1.7",
                                                      "--install", "release"])
        finally:
            os.chdir(cwd)
        self.assertEqual(code, 0, lines)
        self.assertEqual(self.read(os.path.join(self.release, "launcher.bin")), "new launcher")

    def test_file_in_use_is_set_aside_and_listed(self):
        z = self.archive(NEW)
        target = os.path.join(self.release, "launcher.bin")
        real_remove = os.remove

        def remove(path):
            # Windows refuses to delete a running program but lets it be renamed.
            if path == target + ".veyra-old":
                raise PermissionError(13, "in use", path)
            return real_remove(path)

        apply_update.os.remove = remove
        try:
            code, lines = self.run_script(z)
        finally:
            apply_update.os.remove = real_remove
        self.assertEqual(code, 0, lines)
        self.assertEqual(self.read(target), "new launcher")
        old = target + ".veyra-old"
        self.assertEqual(self.read(old), "old launcher")
        listed = self.read(os.path.join(self.update, "old_files.txt")).splitlines()
        self.assertEqual(listed, [old])
        self.assertTrue(listed[0].startswith(self.release), "the launcher's clean-up matches on this prefix")
        self.assertEqual(sorted(os.listdir(self.update)), ["old_files.txt"])

    # ------------------------------------------------------------ refusals

    def test_hostile_and_broken_archives(self):
        def member(name, text="x", attr=None):
            info = zipfile.ZipInfo(name)
            info.compress_type = zipfile.ZIP_DEFLATED
            if attr is not None:
                info.external_attr = attr
                info.create_system = 3
            return info, text

        link = member("source/tools/link", "/etc/passwd", attr=(stat.S_IFLNK | 0o777) << 16)
        cases = [
            ("damaged download", dict(files=NEW, checksum=False), "SHA-256"),
            ("outside its folder", dict(files={**NEW, "../escaped.txt": "x"}), "outside"),
            ("absolute", dict(files={**NEW, "/tmp/x": "x"}), "outside"),
            ("drive letter", dict(files={**NEW, "C:/x": "x"}), "outside"),
            ("alternate data stream", dict(files={**NEW, "launcher.bin:evil": "x"}), "Windows cannot use"),
            ("trailing dot", dict(files={**NEW, "source/x.": "x"}), "Windows cannot use"),
            ("trailing space", dict(files={**NEW, "source /x": "x"}), "Windows cannot use"),
            ("control character", dict(files={**NEW, "a\x01b": "x"}), "Windows cannot use"),
            ("device name", dict(files={**NEW, "source/CON": "x"}), "reserved"),
            ("device name with extension", dict(files={**NEW, "source/nul.txt": "x"}), "reserved"),
            ("numbered device", dict(files={**NEW, "lpt9.log": "x"}), "reserved"),
            ("names differing in case", dict(files={**NEW, "Launcher.BIN": "x"}), "one name"),
            ("file and folder of one name", dict(files={**NEW, "source/release.ini/x": "x"}), "one name"),
            ("no release.ini", dict(files={"launcher.bin": "new"}), "no source/release.ini"),
            ("another version", dict(files={**NEW, "source/release.ini": "version=0.1.5\n"}), "0.1.5, not 0.1.7"),
            ("version line missing", dict(files={**NEW, "source/release.ini": "commit=abc\n"}), "(none)"),
            ("not a zip", dict(files=None, raw=b"PK not really"), "cannot be opened"),
        ]
        extra = {"link": [link]}
        before = self.untouched()
        for name, kw, words in cases:
            with self.subTest(name):
                self.assert_refused(self.archive(**kw), words, before)
        for name, entries in extra.items():
            with self.subTest(name):
                zip_path = os.path.join(self.dir, "entries.zip")
                with zipfile.ZipFile(zip_path, "w") as z:
                    for k, v in NEW.items():
                        z.writestr(k, v)
                    for info, text in entries:
                        z.writestr(info, text)
                self.assert_refused(self.archive(None, raw=read_bytes(zip_path)), "link", before)

    def test_damaged_members_end_in_an_error_line(self):
        before = self.untouched()
        payload = "y" * 5000

        def bad_crc(data):
            # Flip a byte of the stored data; the checksum file is made after,
            # so only the entry's own CRC-32 can catch it.
            at = data.find(payload.encode())
            data[at + 10] ^= 0xFF

        def method(data):
            # Compression method 99 (AE-x) in both headers of every entry.
            for sig in (b"PK\x03\x04", b"PK\x01\x02"):
                at = data.find(sig)
                while at >= 0:
                    off = 8 if sig == b"PK\x03\x04" else 10
                    data[at + off:at + off + 2] = struct.pack("<H", 99)
                    at = data.find(sig, at + 4)

        def encrypted(data):
            # The "encrypted" flag in both headers of the last entry.
            for sig, off in ((b"PK\x03\x04", 6), (b"PK\x01\x02", 8)):
                at = data.rfind(sig)
                data[at + off] |= 0x1

        cases = [("bad CRC", bad_crc, "damaged"), ("unsupported compression", method, "compression method"),
                 ("encrypted entry", encrypted, "encrypted")]
        for name, patch, words in cases:
            with self.subTest(name):
                files = dict(NEW)
                files["source/big.txt"] = payload
                zip_path = os.path.join(self.dir, "stored.zip")
                with zipfile.ZipFile(zip_path, "w", zipfile.ZIP_STORED) as z:
                    for k, v in files.items():
                        z.writestr(k, v)
                data = bytearray(read_bytes(zip_path))
                patch(data)
                self.assert_refused(self.archive(None, raw=bytes(data)), words, before)

    def test_size_caps(self):
        before = self.untouched()
        bomb = dict(NEW)
        bomb["source/zeros.bin"] = "\0" * (4 << 20)  # deflates about 1000 to 1
        with self.subTest("ratio"):
            self.assert_refused(self.archive(bomb), "not a release", before)
        caps = [("size", "MAX_UNPACKED_BYTES", 1000, "more than a release"),
                ("entries", "MAX_ENTRIES", 3, "too many entries")]
        for name, cap, value, words in caps:
            with self.subTest(name):
                saved = getattr(apply_update, cap)
                setattr(apply_update, cap, value)
                try:
                    self.assert_refused(self.archive({**NEW, "source/pad.txt": "p" * 2000}), words, before)
                finally:
                    setattr(apply_update, cap, saved)

    def test_too_little_free_space(self):
        before = self.untouched()
        real = apply_update.shutil.disk_usage
        apply_update.shutil.disk_usage = lambda p: real(p)._replace(free=1000)
        try:
            self.assert_refused(self.archive(NEW), "not enough free disk space", before)
        finally:
            apply_update.shutil.disk_usage = real

    def test_bad_command_lines(self):
        z = self.archive(NEW)
        before = snapshot(self.release)
        for argv in ([], ["--zip", z], ["--zip", z, "--sha256", z + ".sha256", "--version", "0.1.7", "--install"],
                     ["--zip", z, "--sha256", z + ".sha256", "--version", "0.1.7", "--install", self.release,
                      "--extra", "1"]):
            with self.subTest(argv=argv):
                code, lines = self.run_script(None, argv=argv)
                self.assertEqual(code, 2)
                self.assertEqual(len(lines), 1, lines)
                self.assertTrue(lines[0].startswith("error bad command line"), lines)
                self.assertEqual(snapshot(self.release), before)

    # ------------------------------------------------------------ all or nothing

    def test_a_failure_at_any_file_puts_every_old_file_back(self):
        """os.replace fails at its Nth call, for every N the install makes."""
        before = self.untouched()
        real_replace = os.replace
        n = 0
        while True:
            n += 1
            calls = [0]

            def replace(src, dst, at=n):
                calls[0] += 1
                if calls[0] == at:
                    raise OSError(28, "No space left on device", dst)
                return real_replace(src, dst)

            z = self.archive(NEW)
            apply_update.os.replace = replace
            try:
                code, lines = self.run_script(z)
            finally:
                apply_update.os.replace = real_replace
            if code == 0:
                break  # past the last move: the install went through
            with self.subTest(failing_move=n):
                self.assertTrue(lines[-1].startswith("error cannot install"), lines)
                self.assertIn("No space left", lines[-1])
                self.assertEqual(snapshot(self.release), before)
        self.assertGreater(n, len(NEW), "every move was made to fail once")
        self.assertEqual(self.read(os.path.join(self.release, "launcher.bin")), "new launcher")

    def test_a_release_ini_that_changes_during_install_is_caught(self):
        # The installed file is what counts: were it not renamed in, the
        # release would still say 0.1.6 and the launcher would loop.
        before = self.untouched()
        real = apply_update.ini_version
        calls = []

        def ini_version(path):
            calls.append(path)
            return real(path) if len(calls) == 1 else "0.1.6"

        apply_update.ini_version = ini_version
        try:
            self.assert_refused(self.archive(NEW), "the installed release says version 0.1.6", before)
        finally:
            apply_update.ini_version = real


if __name__ == "__main__":
    unittest.main()
