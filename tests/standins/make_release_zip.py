#!/usr/bin/env python3
"""Packs a folder as a release archive for the update tests and the demo.

  make_release_zip.py FOLDER ARCHIVE [--top NAME] [--sha256 good|bad|none]

Files are stored with their permission bits, under NAME/ when --top is given.
The checksum file ARCHIVE.sha256 holds "<hex>  <archive name>"; "bad" writes
a wrong value, "none" writes no file.
"""
import argparse
import hashlib
import os
import zipfile

p = argparse.ArgumentParser()
p.add_argument("folder")
p.add_argument("archive")
p.add_argument("--top", default="")
p.add_argument("--sha256", choices=["good", "bad", "none"], default="good")
a = p.parse_args()

with zipfile.ZipFile(a.archive, "w", zipfile.ZIP_STORED) as z:
    for folder, dirs, names in os.walk(a.folder):
        dirs.sort()
        for name in sorted(names):
            path = os.path.join(folder, name)
            rel = os.path.relpath(path, a.folder).replace(os.sep, "/")
            z.write(path, (a.top + "/" + rel) if a.top else rel)

sha_path = a.archive + ".sha256"
if a.sha256 == "none":
    if os.path.exists(sha_path):
        os.remove(sha_path)
else:
    with open(a.archive, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    if a.sha256 == "bad":
        digest = "0" * 64
    with open(sha_path, "w", encoding="utf-8", newline="\n") as f:
        f.write("%s  %s\n" % (digest, os.path.basename(a.archive)))
