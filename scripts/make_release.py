#!/usr/bin/env python3
"""Packs a release folder into the archive a maintainer uploads, and signs it.

  make_release.py RELEASE_DIR OUT_DIR --suffix -tambler.zip|-tambler-linux.zip
                  --tool RELEASE_KEY_TOOL [--key SECRET_KEY_FILE]

The archive is "Morvane-<version><suffix>" (the version from RELEASE_DIR's
source/release.ini, which the build writes from project(VERSION) in
CMakeLists.txt, as it does the launcher's own), laid out as a player unzips it: one folder
"Morvane-<version>" holding the launcher, source/, kit/ without the
interpreter, and CHANGELOG.md. Beside it: "<archive>.sha256" and
"<archive>.sig" (the signed manifest, written by the release key tool).

The secret key file comes from --key or the environment variable
VEYRA_RELEASE_KEY. Prints the archive's path.
"""
import argparse
import os
import stat
import subprocess
import sys
import zipfile

# What a player's release folder gains on their machine, never shipped.
LOCAL = {"build", "game", "update", "user", "selftest"}
# The interpreter is installed with the kit, not carried by every update.
INTERPRETER = os.path.join("kit", "python")


def release_version(folder):
    path = os.path.join(folder, "source", "release.ini")
    with open(path, encoding="utf-8") as f:
        for line in f:
            key, sep, value = line.partition("=")
            if sep and key.strip() == "version":
                return value.strip()
    raise SystemExit("make_release: no version in %s" % path)


def shipped_files(folder):
    for base, dirs, names in os.walk(folder):
        rel_base = os.path.relpath(base, folder)
        if rel_base == ".":
            dirs[:] = [d for d in dirs if d.lower() not in LOCAL]
        dirs[:] = sorted(d for d in dirs if os.path.join(rel_base, d) != INTERPRETER)
        for name in sorted(names):
            path = os.path.join(base, name)
            if ".veyra-old" in name or os.path.islink(path):
                continue
            yield path, os.path.relpath(path, folder).replace(os.sep, "/")


def pack(folder, archive, top):
    tmp = archive + ".tmp"
    with zipfile.ZipFile(tmp, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
        for path, rel in shipped_files(folder):
            info = zipfile.ZipInfo.from_file(path, top + "/" + rel)
            info.compress_type = zipfile.ZIP_DEFLATED
            # Unix permission bits ride along for the Linux launcher and scripts.
            info.external_attr = (stat.S_IFREG | (os.stat(path).st_mode & 0o777)) << 16
            with open(path, "rb") as f:
                z.writestr(info, f.read())
    os.replace(tmp, archive)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("release_dir")
    p.add_argument("out_dir")
    p.add_argument("--suffix", required=True)
    p.add_argument("--tool", required=True)
    p.add_argument("--key", default=os.environ.get("VEYRA_RELEASE_KEY", ""))
    a = p.parse_args()
    if not a.key or not os.path.isfile(a.key):
        raise SystemExit("make_release: give the secret key file with --key or VEYRA_RELEASE_KEY")
    version = release_version(a.release_dir)
    os.makedirs(a.out_dir, exist_ok=True)
    archive = os.path.join(a.out_dir, "Morvane-%s%s" % (version, a.suffix))
    pack(a.release_dir, archive, "Morvane-" + version)
    subprocess.run([a.tool, "sign", a.key, archive, version], check=True)
    print(archive)


if __name__ == "__main__":
    sys.exit(main())
