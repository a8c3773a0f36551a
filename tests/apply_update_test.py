#!/usr/bin/env python3
"""The release's update script on its own: a good archive, a damaged one, an
archive naming a file outside its folder, an archive of another version, and a
file that cannot be replaced while it runs (as the launcher on Windows).

  apply_update_test.py SOURCE_DIR
"""
import contextlib
import hashlib
import importlib.util
import io
import os
import shutil
import sys
import tempfile
import unittest
import zipfile

SOURCE = sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
SCRIPT = os.path.join(SOURCE, "demo", "release", "source", "tools", "apply_update.py")

found = importlib.util.spec_from_file_location("apply_update", SCRIPT)
apply_update = importlib.util.module_from_spec(found)
found.loader.exec_module(apply_update)


class ApplyUpdate(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="veyra-apply-")
        self.release = os.path.join(self.dir, "release")
        self.update = os.path.join(self.release, "update")
        os.makedirs(os.path.join(self.release, "source"))
        os.makedirs(self.update)
        self.write(os.path.join(self.release, "launcher.bin"), "old launcher")
        self.write(os.path.join(self.release, "source", "release.ini"), "version=0.1.6\n")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def write(self, path, text):
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)

    def read(self, path):
        with open(path, encoding="utf-8") as f:
            return f.read()

    def archive(self, files, version="0.1.7", checksum=True):
        zip_path = os.path.join(self.update, "Morvane-%s-tambler.zip" % version)
        with zipfile.ZipFile(zip_path, "w") as z:
            for name, text in files.items():
                z.writestr(name, text)
        with open(zip_path, "rb") as f:
            digest = hashlib.sha256(f.read()).hexdigest() if checksum else "0" * 64
        self.write(zip_path + ".sha256", "%s  %s\n" % (digest, os.path.basename(zip_path)))
        return zip_path

    def run_script(self, zip_path, version="0.1.7"):
        out = io.StringIO()
        sys.argv = ["apply_update.py", "--zip", zip_path, "--sha256", zip_path + ".sha256", "--version", version,
                    "--install", self.release]
        with contextlib.redirect_stdout(out):
            code = apply_update.main()
        return code, out.getvalue().splitlines()

    def test_installs_a_wrapped_release(self):
        z = self.archive({"Morvane-0.1.7/launcher.bin": "new launcher",
                          "Morvane-0.1.7/source/release.ini": "version=0.1.7\n",
                          "Morvane-0.1.7/update/stray.txt": "never installed"})
        code, lines = self.run_script(z)
        self.assertEqual(code, 0)
        self.assertEqual(lines[0], "step verify")
        self.assertEqual([l for l in lines if l.startswith("step ")], ["step verify", "step extract", "step install"])
        self.assertEqual(lines[-1], "done ok")
        self.assertEqual(self.read(os.path.join(self.release, "launcher.bin")), "new launcher")
        self.assertFalse(os.path.exists(self.update), "nothing left to clean up")

    def test_damaged_download_changes_nothing(self):
        z = self.archive({"launcher.bin": "new launcher"}, checksum=False)
        code, lines = self.run_script(z)
        self.assertNotEqual(code, 0)
        self.assertTrue(lines[-1].startswith("error "))
        self.assertEqual(self.read(os.path.join(self.release, "launcher.bin")), "old launcher")

    def test_entry_outside_the_folder_is_refused(self):
        z = self.archive({"../escaped.txt": "x", "launcher.bin": "new launcher"})
        code, lines = self.run_script(z)
        self.assertNotEqual(code, 0)
        self.assertIn("outside", lines[-1])
        self.assertFalse(os.path.exists(os.path.join(self.update, "escaped.txt")))
        self.assertFalse(os.path.exists(os.path.join(self.dir, "escaped.txt")))

    def test_archive_of_another_version_is_refused(self):
        z = self.archive({"source/release.ini": "version=0.1.5\n"})
        code, lines = self.run_script(z)
        self.assertNotEqual(code, 0)
        self.assertEqual(self.read(os.path.join(self.release, "source", "release.ini")), "version=0.1.6\n")

    def test_file_in_use_is_set_aside_and_listed(self):
        z = self.archive({"launcher.bin": "new launcher", "source/release.ini": "version=0.1.7\n"})
        target = os.path.join(self.release, "launcher.bin")
        real_replace = os.replace
        refused = []

        def replace(src, dst):
            # Windows refuses to overwrite a running program but lets it be renamed.
            if dst == target and src.endswith(".veyra-new") and not refused:
                refused.append(dst)
                raise PermissionError(13, "in use", dst)
            return real_replace(src, dst)

        apply_update.os.replace = replace
        try:
            code, lines = self.run_script(z)
        finally:
            apply_update.os.replace = real_replace
        self.assertEqual(code, 0, lines)
        self.assertEqual(self.read(target), "new launcher")
        old = target + ".veyra-old"
        self.assertEqual(self.read(old), "old launcher")
        listed = self.read(os.path.join(self.update, "old_files.txt")).splitlines()
        self.assertEqual(listed, [old])
        self.assertTrue(listed[0].startswith(self.release), "the launcher's clean-up matches on this prefix")


if __name__ == "__main__":
    unittest.main()
