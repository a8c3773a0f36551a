#!/usr/bin/env python3
"""Installs a downloaded release over the current one, all or nothing.

Run by the launcher as:
  apply_update.py --zip ARCHIVE --sha256 CHECKSUM_FILE --version X.Y.Z --install RELEASE_DIR

1. verify:  the archive against its checksum file, then every entry's name,
            kind, compression and size before a byte is unpacked.
2. extract: after a free-space check, the whole release is unpacked beside the
            archive (in the update folder) and its source/release.ini must name
            the version asked for.
3. install: each file the new release replaces is renamed "<name>.veyra-old"
            in place (Windows lets a running program be renamed, not replaced),
            then each new file is renamed into the release. Any failure puts
            every old file back, so the release is byte for byte as before.
            Old files that cannot be deleted now (the running launcher) are
            listed in old_files.txt in the update folder; the next launcher
            start deletes them.

Output, one line each: "step verify|extract|install", "progress DONE TOTAL",
then "done ok"; or "error <message>" and a non-zero exit. The downloaded files
and the unpacked copy never stay behind.
"""
import hashlib
import os
import shutil
import stat
import sys
import zipfile

OLD_SUFFIX = ".veyra-old"
# Folders of a release that belong to this machine, never to an archive.
KEEP_OUT = {"update", "build", "game", "user"}
RELEASE_INI = ("source", "release.ini")

# A release is a few hundred MB; these caps stop an archive that would fill
# the disk (a "zip bomb") before anything is written.
MAX_UNPACKED_BYTES = 8 << 30
MAX_ENTRIES = 100000
# Stored and deflated releases stay far below this; only a bomb goes above.
MAX_RATIO = 100
# Room left over beside the unpacked copy, so the install never fills the disk.
SPARE_BYTES = 64 << 20
SUPPORTED_COMPRESSION = {zipfile.ZIP_STORED: "stored", zipfile.ZIP_DEFLATED: "deflated"}

# Names Windows maps to devices whatever their extension.
RESERVED = ({"con", "prn", "aux", "nul"} | {"com%s" % c for c in "123456789\u00b9\u00b2\u00b3"}
            | {"lpt%s" % c for c in "123456789\u00b9\u00b2\u00b3"})
FORBIDDEN_CHARS = set('<>:"|?*')


class UpdateError(Exception):
    pass


def say(line):
    print(line, flush=True)


def progress(done, total):
    say("progress %d %d" % (done, total))


def parse_args(argv):
    """The four options, each with a value; anything else is an error line."""
    wanted = ("--zip", "--sha256", "--version", "--install")
    values = {}
    i = 0
    while i < len(argv):
        name = argv[i]
        if name not in wanted:
            raise UpdateError("bad command line: unknown argument %r" % name)
        if i + 1 >= len(argv) or not argv[i + 1]:
            raise UpdateError("bad command line: %s needs a value" % name)
        values[name[2:]] = argv[i + 1]
        i += 2
    missing = [w for w in wanted if w[2:] not in values]
    if missing:
        raise UpdateError("bad command line: missing %s" % ", ".join(missing))
    return values


def verify_checksum(zip_path, sha_path):
    try:
        with open(sha_path, "r", encoding="utf-8", errors="replace") as f:
            words = f.read(4096).split()
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
    return total


def member_parts(name):
    """The entry's path as parts; UpdateError when Windows could not hold it or
    it would leave the release folder."""
    shown = name.encode("unicode_escape").decode("ascii")
    slashed = name.replace("\\", "/")
    if slashed.startswith("/") or (len(slashed) > 1 and slashed[1] == ":"):
        raise UpdateError("the archive names a file outside its folder: %s" % shown)
    parts = [p for p in slashed.split("/") if p not in ("", ".")]
    if not parts:
        raise UpdateError("the archive holds an entry without a name")
    for part in parts:
        if part == "..":
            raise UpdateError("the archive names a file outside its folder: %s" % shown)
        if any(ord(c) < 0x20 for c in part) or any(c in FORBIDDEN_CHARS for c in part):
            raise UpdateError("the archive holds a name Windows cannot use: %s" % shown)
        if part.endswith(".") or part.endswith(" "):
            raise UpdateError("the archive holds a name Windows cannot use: %s" % shown)
        if part.split(".")[0].rstrip(" ").lower() in RESERVED:
            raise UpdateError("the archive holds a reserved device name: %s" % shown)
    return parts


def is_link(member):
    # Unix-made archives keep the file type in the high half of the attributes.
    return stat.S_ISLNK(member.external_attr >> 16)


def survey(archive, archive_size):
    """Checks every entry before anything is unpacked. Returns the files as
    (member, parts) and their total size."""
    members = archive.infolist()
    if len(members) > MAX_ENTRIES:
        raise UpdateError("the archive holds too many entries (%d, at most %d)" % (len(members), MAX_ENTRIES))
    files = []
    seen = {}
    total = 0
    for m in members:
        parts = member_parts(m.filename)
        if is_link(m):
            raise UpdateError("the archive holds a link: %s" % m.filename)
        if m.flag_bits & 0x1:
            raise UpdateError("the archive holds an encrypted entry: %s" % m.filename)
        if not m.is_dir() and m.compress_type not in SUPPORTED_COMPRESSION:
            raise UpdateError("the archive uses an unsupported compression method (%d) for %s"
                              % (m.compress_type, m.filename))
        # Windows folds case: two names that differ only in case are one file there.
        key = "/".join(parts).casefold()
        kind = "dir" if m.is_dir() else "file"
        if key in seen and (kind == "file" or seen[key] == "file"):
            raise UpdateError("the archive holds two entries for one name: %s" % m.filename)
        for i in range(1, len(parts)):
            above = "/".join(parts[:i]).casefold()
            if seen.get(above) == "file":
                raise UpdateError("the archive holds a file and a folder of one name: %s" % m.filename)
            seen.setdefault(above, "dir")
        seen[key] = kind
        if kind == "file":
            files.append((m, parts))
            total += m.file_size
    for m, parts in files:
        key = "/".join(parts).casefold()
        if seen.get(key) != "file":
            raise UpdateError("the archive holds a file and a folder of one name: %s" % m.filename)
    if total > MAX_UNPACKED_BYTES:
        raise UpdateError("the archive would unpack to %d bytes, more than a release can be" % total)
    if total > MAX_RATIO * max(archive_size, 1):
        raise UpdateError("the archive would unpack to %d bytes from %d: it is not a release"
                          % (total, archive_size))
    return files, total


def release_root(files):
    """The folder prefix inside the archive that holds the release: nothing, or
    the one folder around it."""
    ini = [parts[:-2] for _, parts in files if [p.lower() for p in parts[-2:]] == list(RELEASE_INI)]
    if [] in ini:
        return []
    wrapped = [p for p in ini if len(p) == 1]
    if len(wrapped) == 1:
        return wrapped[0]
    raise UpdateError("the archive holds no source/release.ini")


def ini_version(path):
    try:
        with open(path, "r", encoding="utf-8", errors="replace") as f:
            for line in f:
                key, sep, value = line.partition("=")
                if sep and key.strip() == "version":
                    return value.strip()
    except OSError:
        pass
    return None


def check_free_space(folder, needed):
    free = shutil.disk_usage(folder).free
    if free < needed + SPARE_BYTES:
        raise UpdateError("not enough free disk space: the update needs %d MB, %d MB are free"
                          % ((needed + SPARE_BYTES) // 1000000, free // 1000000))


def extract(zip_path, stage, version):
    """Unpacks the release into `stage`. Returns the relative paths of its
    files (as lists of parts) and their total size."""
    try:
        archive = zipfile.ZipFile(zip_path)
    except (OSError, zipfile.BadZipFile) as e:
        raise UpdateError("the archive cannot be opened: %s" % e)
    with archive:
        files, total = survey(archive, os.path.getsize(zip_path))
        root = release_root(files)
        files = [(m, parts[len(root):]) for m, parts in files if parts[:len(root)] == root]
        files = [(m, parts) for m, parts in files if parts[0].lower() not in KEEP_OUT]
        total = sum(m.file_size for m, _ in files)
        check_free_space(os.path.dirname(stage), total)
        say("step extract")
        os.makedirs(stage)
        done = 0
        for m, parts in files:
            target = os.path.join(stage, *parts)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            try:
                with archive.open(m) as src, open(target, "wb") as dst:
                    while True:
                        block = src.read(1 << 20)
                        if not block:
                            break
                        dst.write(block)
                        done += len(block)
                        progress(done, total)
            except zipfile.BadZipFile as e:
                raise UpdateError("the archive is damaged: %s" % e)
            except (NotImplementedError, RuntimeError) as e:
                raise UpdateError("the archive cannot be unpacked: %s: %s" % (m.filename, e))
            except OSError as e:
                raise UpdateError("cannot unpack %s: %s" % ("/".join(parts), e.strerror or e))
            mode = (m.external_attr >> 16) & 0o777
            if mode:
                os.chmod(target, mode | stat.S_IRUSR | stat.S_IWUSR)
    found = ini_version(os.path.join(stage, *RELEASE_INI))
    if found != version:
        raise UpdateError("the archive holds version %s, not %s" % (found or "(none)", version))
    return [parts for _, parts in files], total


class Install:
    """The moves made so far, so a failure can undo them in reverse."""

    def __init__(self, release):
        self.release = release
        self.set_aside = []   # (target, old)
        self.moved_in = []    # target
        self.made_dirs = []

    def make_dirs(self, folder):
        missing = []
        while not os.path.isdir(folder):
            missing.append(folder)
            folder = os.path.dirname(folder)
        for d in reversed(missing):
            os.mkdir(d)
            self.made_dirs.append(d)

    def aside(self, target):
        old = target + OLD_SUFFIX
        n = 1
        while os.path.lexists(old):
            try:
                os.remove(old)
            except OSError:
                n += 1
                old = "%s%s%d" % (target, OLD_SUFFIX, n)
        os.replace(target, old)
        self.set_aside.append((target, old))

    def undo(self):
        problems = []
        for target in reversed(self.moved_in):
            try:
                os.remove(target)
            except OSError as e:
                problems.append("%s: %s" % (target, e.strerror))
        for target, old in reversed(self.set_aside):
            try:
                os.replace(old, target)
            except OSError as e:
                problems.append("%s: %s" % (old, e.strerror))
        for d in reversed(self.made_dirs):
            try:
                os.rmdir(d)
            except OSError:
                pass
        return problems


def install(stage, files, total, release, version):
    say("step install")
    work = Install(release)
    done = 0
    try:
        for parts in files:
            src = os.path.join(stage, *parts)
            target = os.path.join(release, *parts)
            work.make_dirs(os.path.dirname(target))
            if os.path.isdir(target) and not os.path.islink(target):
                raise UpdateError("cannot replace the folder %s with a file" % "/".join(parts))
            if os.path.lexists(target):
                work.aside(target)
            os.replace(src, target)
            work.moved_in.append(target)
            done += os.path.getsize(target)
            progress(done, total)
        found = ini_version(os.path.join(release, *RELEASE_INI))
        if found != version:
            raise UpdateError("the installed release says version %s, not %s" % (found or "(none)", version))
    except (UpdateError, OSError) as e:
        problems = work.undo()
        if isinstance(e, OSError):
            e = UpdateError("cannot install %s: %s" % (e.filename or "a file", e.strerror or e))
        if problems:
            raise UpdateError("%s; putting the old files back also failed for %s" % (e, "; ".join(problems)))
        raise e
    return [old for _, old in work.set_aside]


def forget_old(olds, update_dir):
    """Deletes what was set aside; what cannot go yet goes into old_files.txt."""
    left = []
    for old in olds:
        try:
            os.remove(old)
        except OSError:
            left.append(old)
    if not left:
        return
    # The launcher only removes files whose path starts with its release
    # folder exactly as it passed it in --install, so keep that spelling.
    try:
        os.makedirs(update_dir, exist_ok=True)
        with open(os.path.join(update_dir, "old_files.txt"), "a", encoding="utf-8", newline="\n") as f:
            for path in left:
                f.write(path + "\n")
    except OSError:
        pass  # the new release is in place; a stray old file is only clutter


def clean_up(update_dir, stage, downloads):
    shutil.rmtree(stage, ignore_errors=True)
    for name in downloads:
        try:
            os.remove(name)
        except OSError:
            pass
    try:
        os.rmdir(update_dir)  # only when nothing was set aside
    except OSError:
        pass


def run(argv):
    args = parse_args(argv)
    zip_path = os.path.abspath(args["zip"])
    release = args["install"] if os.path.isabs(args["install"]) else os.path.abspath(args["install"])
    update_dir = os.path.dirname(zip_path)
    stage = os.path.join(update_dir, "unpacked")
    downloads = [zip_path, args["sha256"], zip_path + ".sig"]
    try:
        shutil.rmtree(stage, ignore_errors=True)
        say("step verify")
        verify_checksum(zip_path, args["sha256"])
        files, total = extract(zip_path, stage, args["version"])
        olds = install(stage, files, total, release, args["version"])
        forget_old(olds, update_dir)
    finally:
        clean_up(update_dir, stage, downloads)


def main(argv=None):
    argv = sys.argv[1:] if argv is None else argv
    try:
        run(argv)
    except UpdateError as e:
        say("error %s" % e)
        return 2
    except OSError as e:
        say("error %s: %s" % (e.strerror or "file error", e.filename or ""))
        return 3
    except Exception as e:  # the player reads a line, never a traceback
        say("error the update failed unexpectedly: %s: %s" % (type(e).__name__, e))
        return 4
    say("done ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
