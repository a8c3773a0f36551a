#!/usr/bin/env python3
"""Installs a downloaded release over the current one.

Run by the launcher as:
  apply_update.py --zip ARCHIVE --sha256 CHECKSUM_FILE --version X.Y.Z --install RELEASE_DIR

Checks the archive against its checksum file, unpacks it beside the archive
(in the update folder), then puts each file into the release folder. A file
that cannot be replaced (the running launcher, on Windows) is renamed to
"<name>.veyra-old" first and listed in old_files.txt in the update folder, so
the next launcher start can delete it.

Output, one line each: "step verify|extract|install", "progress DONE TOTAL",
then "done ok"; or "error <message>" and a non-zero exit.
"""
import argparse
import hashlib
import os
import shutil
import stat
import sys
import zipfile

OLD_SUFFIX = ".veyra-old"
# Folders of a release that belong to this machine, never to an archive.
KEEP_OUT = {"update", "build", "game", "user"}
# A release's own top-level folders: an archive holding only one of them is
# not wrapped in a folder of its own.
RELEASE_FOLDERS = KEEP_OUT | {"source", "kit"}


class UpdateError(Exception):
    pass


def say(line):
    print(line, flush=True)


def progress(done, total):
    say("progress %d %d" % (done, total))


def verify(zip_path, sha_path):
    say("step verify")
    try:
        with open(sha_path, "r", encoding="utf-8", errors="replace") as f:
            words = f.read().split()
    except OSError as e:
        raise UpdateError("cannot read the checksum file: %s" % e.strerror)
    expected = words[0].lower() if words else ""
    if len(expected) != 64 or any(c not in "0123456789abcdef" for c in expected):
        raise UpdateError("the checksum file holds no SHA-256 value")
    try:
        total = os.path.getsize(zip_path)
        digest = hashlib.sha256()
        done = 0
        with open(zip_path, "rb") as f:
            while True:
                block = f.read(1 << 20)
                if not block:
                    break
                digest.update(block)
                done += len(block)
                progress(done, total)
    except OSError as e:
        raise UpdateError("cannot read the archive: %s" % e.strerror)
    if digest.hexdigest() != expected:
        raise UpdateError("the download is damaged (its SHA-256 does not match)")


def safe_member(name):
    """The archive path as parts, or None when it would leave the target."""
    name = name.replace("\\", "/")
    if name.startswith("/") or (len(name) > 1 and name[1] == ":"):
        return None
    parts = [p for p in name.split("/") if p not in ("", ".")]
    if any(p == ".." for p in parts):
        return None
    return parts


def extract(zip_path, stage):
    say("step extract")
    if os.path.isdir(stage):
        shutil.rmtree(stage)
    os.makedirs(stage)
    try:
        archive = zipfile.ZipFile(zip_path)
    except (OSError, zipfile.BadZipFile) as e:
        raise UpdateError("the archive cannot be opened: %s" % e)
    with archive:
        members = [m for m in archive.infolist() if not m.is_dir()]
        total = sum(m.file_size for m in members)
        done = 0
        for m in members:
            parts = safe_member(m.filename)
            if not parts:
                raise UpdateError("the archive names a file outside its folder: %s" % m.filename)
            target = os.path.join(stage, *parts)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with archive.open(m) as src, open(target, "wb") as dst:
                while True:
                    block = src.read(1 << 20)
                    if not block:
                        break
                    dst.write(block)
                    done += len(block)
                    progress(done, total)
            mode = (m.external_attr >> 16) & 0o777
            if mode:
                os.chmod(target, mode | stat.S_IRUSR | stat.S_IWUSR)
    # An archive that wraps everything in one folder is unwrapped.
    entries = os.listdir(stage)
    if (len(entries) == 1 and os.path.isdir(os.path.join(stage, entries[0]))
            and entries[0].lower() not in RELEASE_FOLDERS):
        return os.path.join(stage, entries[0])
    return stage


def check_version(root, version):
    ini = os.path.join(root, "source", "release.ini")
    if not os.path.isfile(ini):
        return
    with open(ini, "r", encoding="utf-8", errors="replace") as f:
        for line in f:
            key, sep, value = line.partition("=")
            if sep and key.strip() == "version" and value.strip() != version:
                raise UpdateError("the archive holds version %s, not %s" % (value.strip(), version))


def set_aside(target, old_list):
    old = target + OLD_SUFFIX
    n = 1
    while os.path.lexists(old):
        try:
            os.remove(old)
        except OSError:
            n += 1
            old = "%s%s%d" % (target, OLD_SUFFIX, n)
            continue
    os.replace(target, old)
    # The launcher only removes files whose path starts with its release
    # folder exactly as it passed it in --install, so keep that spelling.
    old_list.append(old)


def install(root, release, update_dir):
    say("step install")
    files = []
    for folder, dirs, names in os.walk(root):
        rel_folder = os.path.relpath(folder, root)
        if rel_folder == ".":
            dirs[:] = [d for d in dirs if d.lower() not in KEEP_OUT]
        for name in names:
            files.append(os.path.join(rel_folder, name) if rel_folder != "." else name)
    total = sum(os.path.getsize(os.path.join(root, f)) for f in files)
    done = 0
    old_list = []
    for rel in files:
        src = os.path.join(root, rel)
        target = os.path.join(release, rel)
        os.makedirs(os.path.dirname(target) or release, exist_ok=True)
        fresh = target + ".veyra-new"
        shutil.copy2(src, fresh)
        try:
            os.replace(fresh, target)
        except OSError:
            # In use: move it aside (Windows allows renaming a running program).
            try:
                set_aside(target, old_list)
                os.replace(fresh, target)
            except OSError as e:
                try:
                    os.remove(fresh)
                except OSError:
                    pass
                record_old(update_dir, old_list)
                raise UpdateError("cannot replace %s: %s" % (rel, e.strerror))
        done += os.path.getsize(target)
        progress(done, total)
    record_old(update_dir, old_list)


def record_old(update_dir, old_list):
    if not old_list:
        return
    with open(os.path.join(update_dir, "old_files.txt"), "a", encoding="utf-8", newline="\n") as f:
        for path in old_list:
            f.write(path + "\n")


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--zip", required=True)
    p.add_argument("--sha256", required=True)
    p.add_argument("--version", required=True)
    p.add_argument("--install", required=True)
    args = p.parse_args()

    update_dir = os.path.dirname(os.path.abspath(args.zip))
    stage = os.path.join(update_dir, "unpacked")
    try:
        verify(args.zip, args.sha256)
        root = extract(args.zip, stage)
        check_version(root, args.version)
        install(root, args.install, update_dir)
    except UpdateError as e:
        say("error %s" % e)
        return 2
    except OSError as e:
        say("error %s: %s" % (e.strerror or "file error", e.filename or ""))
        return 3
    # Only the list of set-aside files stays; the next start removes the rest.
    shutil.rmtree(stage, ignore_errors=True)
    for name in (args.zip, args.sha256):
        try:
            os.remove(name)
        except OSError:
            pass
    try:
        os.rmdir(update_dir)  # only when nothing was set aside
    except OSError:
        pass
    say("done ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
