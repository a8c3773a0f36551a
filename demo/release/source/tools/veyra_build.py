#!/usr/bin/env python3
"""Turns the user's Emberfall (USA) disc image into the playable PC game.

Check mode:  veyra_build.py --check --disc IMAGE
Build mode:  veyra_build.py --disc IMAGE --out BUILD_DIR --game GAME_DIR

Check mode reads the image (ISO 9660 with 2048-byte sectors, a raw .bin with
2352-byte sectors in mode 1 or mode 2 form 1, or a .cue naming its .bin),
finds the boot file named by SYSTEM.CNF and compares the SHA-1 of the data
track with the accepted digests in accepted_sha1.txt beside this script.

Build mode runs eight steps and reports them on standard output, one line
each: PROGRESS <step>, PERCENT <step> <n>, DONE <step> in <seconds>,
SKIP <step>, ERROR <step> <message>, and RESULT at the end. Each step writes
<out>/logs/<step>.log. Finished steps are remembered in <out>/state.json, so
a run that was ended early and is started again skips them.

Environment (for the demo and the tests):
  VEYRA_BUILD_SPEED     factor applied to every step's working time (default 1;
                        the steps then take about a minute in all)
  VEYRA_STEP_SECONDS    per-step working time, e.g. "compile=20,packs=0.5"
  VEYRA_BUILD_FAIL      "<step>:<message>": fail half-way through that step
"""
import hashlib
import json
import os
import shutil
import struct
import sys
import time
import zlib

SECTOR = 2048
RAW_SECTOR = 2352
SERIAL = "SLUS-20999"
BOOT_FILE = "SLUS_209.99"
STEPS = ["verify", "extract", "configure", "tools", "recompile", "packs", "compile", "stage"]
# Working time of each step at speed 1, in seconds: about a minute in all.
# Deliberately not proportional to the launcher's weights, as on a real machine.
STEP_SECONDS = {"verify": 0.0, "extract": 1.0, "configure": 21.0, "tools": 3.0,
                "recompile": 3.5, "packs": 16.0, "compile": 14.0, "stage": 0.5}
STATE_VERSION = 1

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.dirname(HERE)
RELEASE_DIR = os.path.dirname(SOURCE_DIR)


class DiscError(Exception):
    """A reason the disc cannot be used; the text goes after "ERROR verify "."""


class StepError(Exception):
    def __init__(self, step, message):
        super().__init__(message)
        self.step = step
        self.message = message


def emit(line):
    sys.stdout.write(line + "\n")
    sys.stdout.flush()


# ---------------------------------------------------------------- disc image

class DiscImage:
    """Reads 2048-byte logical sectors from an .iso or a raw .bin."""

    def __init__(self, path):
        self.path = path
        self.kind = ""
        self.raw_offset = 0  # where the user data starts inside a raw sector
        if not os.path.exists(path):
            raise DiscError("%s does not exist" % path)
        if path.lower().endswith(".cue"):
            self.path = self._bin_from_cue(path)
        try:
            self.file = open(self.path, "rb")
            self.size = os.path.getsize(self.path)
        except OSError as e:
            raise DiscError("%s cannot be read: %s" % (self.path, e.strerror))
        self._detect()

    @staticmethod
    def _bin_from_cue(cue):
        try:
            with open(cue, "r", encoding="utf-8", errors="replace") as f:
                lines = f.read().splitlines()
        except OSError as e:
            raise DiscError("%s cannot be read: %s" % (cue, e.strerror))
        for line in lines:
            text = line.strip()
            if not text.upper().startswith("FILE "):
                continue
            rest = text[5:].strip()
            if rest.startswith('"'):
                name = rest[1:].split('"', 1)[0]
            else:
                name = rest.rsplit(" ", 1)[0] if " " in rest else rest
            path = os.path.join(os.path.dirname(os.path.abspath(cue)), name)
            if not os.path.exists(path):
                raise DiscError("%s, named by %s, does not exist" % (path, os.path.basename(cue)))
            return path
        raise DiscError("%s names no FILE: not an ISO9660 disc image" % cue)

    def _detect(self):
        head = self._read_at(16 * SECTOR, 8)
        if len(head) == 8 and head[1:6] == b"CD001":
            self.kind = "ISO 9660 image, 2048-byte sectors"
            self.sectors = self.size // SECTOR
            return
        if self.size % RAW_SECTOR == 0 and self.size >= 17 * RAW_SECTOR:
            raw = self._read_at(16 * RAW_SECTOR, 24)
            sync = b"\x00" + b"\xff" * 10 + b"\x00"
            if raw[:12] == sync:
                mode = raw[15]
                if mode == 1:
                    self.raw_offset = 16
                    self.kind = "raw image, 2352-byte sectors, mode 1"
                elif mode == 2 and not raw[18] & 0x20:
                    self.raw_offset = 24
                    self.kind = "raw image, 2352-byte sectors, mode 2 form 1"
                if self.raw_offset:
                    self.sectors = self.size // RAW_SECTOR
                    if self.sector(16)[1:6] == b"CD001":
                        return
        raise DiscError("%s is not an ISO9660 disc image" % self.path)

    def _read_at(self, offset, length):
        self.file.seek(offset)
        return self.file.read(length)

    def sector(self, lba):
        if self.raw_offset:
            return self._read_at(lba * RAW_SECTOR + self.raw_offset, SECTOR)
        return self._read_at(lba * SECTOR, SECTOR)

    def read(self, lba, length):
        out = bytearray()
        while len(out) < length:
            data = self.sector(lba)
            if len(data) < SECTOR:
                raise DiscError("%s is cut short at sector %d" % (self.path, lba))
            out += data
            lba += 1
        return bytes(out[:length])

    def data_track(self, chunk_sectors=512):
        """The logical 2048-byte sectors in order, in chunks."""
        if not self.raw_offset:
            self.file.seek(0)
            while True:
                block = self.file.read(chunk_sectors * SECTOR)
                if not block:
                    return
                yield block
        lba = 0
        while lba < self.sectors:
            count = min(chunk_sectors, self.sectors - lba)
            raw = self._read_at(lba * RAW_SECTOR, count * RAW_SECTOR)
            yield b"".join(raw[i * RAW_SECTOR + self.raw_offset:i * RAW_SECTOR + self.raw_offset + SECTOR]
                           for i in range(count))
            lba += count

    # ISO 9660 directory records
    def root(self):
        pvd = self.sector(16)
        if pvd[0] != 1:
            raise DiscError("%s has no primary volume descriptor: not an ISO9660 disc image" % self.path)
        self.volume_id = pvd[40:72].decode("ascii", "replace").strip()
        return self._record(pvd[156:190])

    @staticmethod
    def _record(data):
        length = data[0]
        lba = struct.unpack("<I", data[2:6])[0]
        size = struct.unpack("<I", data[10:14])[0]
        flags = data[25]
        name_len = data[32]
        name = data[33:33 + name_len].decode("ascii", "replace")
        return {"length": length, "lba": lba, "size": size, "dir": bool(flags & 2), "name": name}

    def listdir(self, entry):
        data = self.read(entry["lba"], entry["size"])
        out = []
        pos = 0
        while pos < len(data):
            length = data[pos]
            if length == 0:  # records never cross a sector boundary
                pos = (pos // SECTOR + 1) * SECTOR
                continue
            rec = self._record(data[pos:pos + length])
            pos += length
            if rec["name"] in ("\x00", "\x01"):
                continue
            rec["name"] = rec["name"].split(";", 1)[0]
            out.append(rec)
        return out

    def close(self):
        self.file.close()


def accepted_digests():
    digests = set()
    try:
        with open(os.path.join(HERE, "accepted_sha1.txt"), "r", encoding="utf-8") as f:
            for line in f:
                text = line.split("#", 1)[0].strip().lower()
                if text:
                    digests.add(text)
    except OSError:
        pass
    return digests


def check_disc(path, say):
    """Returns (image, boot file, digest) for the right disc; raises DiscError."""
    say("INFO reading %s" % path)
    image = DiscImage(path)
    say("INFO %s, %d sectors (%s)" % (image.kind, image.sectors, os.path.basename(image.path)))
    try:
        root = image.root()
        files = {e["name"].upper(): e for e in image.listdir(root)}
    except (IndexError, struct.error):
        raise DiscError("%s has a damaged directory: not an ISO9660 disc image" % image.path)
    say("INFO volume %s, %d entries in the root directory" % (image.volume_id or "(unnamed)", len(files)))
    cnf = files.get("SYSTEM.CNF")
    if cnf is None:
        raise DiscError("no SYSTEM.CNF in the root directory: this is not a PS2 game disc")
    boot = ""
    for line in image.read(cnf["lba"], cnf["size"]).decode("ascii", "replace").splitlines():
        key, _, value = line.partition("=")
        if key.strip().upper() == "BOOT2":
            boot = value.strip()
            break
    if not boot:
        raise DiscError("SYSTEM.CNF has no BOOT2 line: this is not a PS2 game disc")
    boot_name = boot.split(":", 1)[-1].lstrip("\\/").split(";", 1)[0]
    say("INFO boot file %s" % boot_name)
    if boot_name.upper() != BOOT_FILE:
        raise DiscError("this disc boots %s, not Emberfall USA (%s)" % (boot_name, BOOT_FILE))
    if boot_name.upper() not in files:
        raise DiscError("the boot file %s named by SYSTEM.CNF is missing" % boot_name)
    sha = hashlib.sha1()
    for block in image.data_track():
        sha.update(block)
    digest = sha.hexdigest()
    say("INFO SHA-1 %s" % digest)
    if digest not in accepted_digests():
        raise DiscError("SHA-1 %s does not match the USA disc (%s): the copy is modified or damaged"
                        % (digest, SERIAL))
    return image, files[boot_name.upper()], digest


def run_check(disc):
    try:
        image, _, digest = check_disc(disc, emit)
        image.close()
    except DiscError as e:
        emit("ERROR verify %s" % e)
        return 1
    emit("OK %s Emberfall (USA), SHA-1 %s" % (SERIAL, digest))
    return 0


# ---------------------------------------------------------------- build mode

def step_seconds():
    try:
        speed = float(os.environ.get("VEYRA_BUILD_SPEED", "1"))
    except ValueError:
        speed = 1.0
    seconds = {k: v * max(speed, 0.0) for k, v in STEP_SECONDS.items()}
    for item in os.environ.get("VEYRA_STEP_SECONDS", "").split(","):
        key, _, value = item.partition("=")
        if key.strip() in seconds:
            try:
                seconds[key.strip()] = max(float(value), 0.0)
            except ValueError:
                pass
    return seconds


def injected_failure():
    text = os.environ.get("VEYRA_BUILD_FAIL", "")
    step, _, message = text.partition(":")
    return (step.strip(), message.strip() or "injected failure") if step.strip() else ("", "")


def write_atomically(path, data):
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
        f.flush()
        os.fsync(f.fileno())
    os.replace(tmp, path)


class Build:
    def __init__(self, disc, out, game):
        self.disc = os.path.abspath(disc)
        self.out = os.path.abspath(out)
        self.game = os.path.abspath(game)
        self.logs = os.path.join(self.out, "logs")
        self.state_path = os.path.join(self.out, "state.json")
        self.seconds = step_seconds()
        self.fail_step, self.fail_message = injected_failure()
        self.log = None
        self.state = {}

    # progress bookkeeping
    def disc_identity(self):
        st = os.stat(self.disc)
        return {"path": self.disc, "size": st.st_size, "mtime_ns": st.st_mtime_ns}

    def load_state(self):
        try:
            with open(self.state_path, "r", encoding="utf-8") as f:
                state = json.load(f)
        except (OSError, ValueError):
            state = {}
        identity = {"version": STATE_VERSION, "disc": self.disc_identity(), "commit": release_value("commit")}
        if any(state.get(k) != v for k, v in identity.items()) or not isinstance(state.get("done"), dict):
            # Another disc, other code or no earlier run: nothing can be reused.
            for name in ("disc", "tools", "recomp", "packs", "objects"):
                shutil.rmtree(os.path.join(self.out, name), ignore_errors=True)
            state = dict(identity, done={})
        self.state = state

    def save_state(self):
        write_atomically(self.state_path, json.dumps(self.state, indent=1).encode("utf-8"))

    def say(self, text):
        if self.log:
            self.log.write(text + "\n")
            self.log.flush()

    def work(self, step, units, unit_action=None, first_unit=0):
        """Spreads the step's working time over `units` pieces of work and
        reports the percentage as they finish."""
        total = self.seconds[step]
        last_percent = -1
        fail_at = units // 2 if step == self.fail_step else -1
        for unit in range(first_unit, units):
            if unit == fail_at:
                self.say("error: %s" % self.fail_message)
                raise StepError(step, self.fail_message)
            if unit_action:
                unit_action(unit)
            if total > 0:
                time.sleep(total / units)
            percent = (unit + 1) * 100 // units
            if percent != last_percent and percent < 100:
                emit("PERCENT %s %d" % (step, percent))
                last_percent = percent

    def run(self):
        try:
            if not os.path.exists(self.disc):
                raise StepError("verify", "the disc image %s does not exist" % self.disc)
            os.makedirs(self.logs, exist_ok=True)
            os.makedirs(self.game, exist_ok=True)
            self.load_state()
        except OSError as e:
            emit("ERROR verify %s" % self._os_message(e))
            return 1
        except StepError as e:
            emit("ERROR %s %s" % (e.step, e.message))
            return 1
        for step in STEPS:
            if step in self.state["done"]:
                emit("SKIP %s" % step)
                continue
            emit("PROGRESS %s" % step)
            started = time.monotonic()
            try:
                with open(os.path.join(self.logs, step + ".log"), "w", encoding="utf-8") as self.log:
                    self.say("== %s, %s" % (step, time.strftime("%Y-%m-%d %H:%M:%S")))
                    try:
                        getattr(self, "step_" + step)()
                    except OSError as e:
                        self.say("error: %s" % self._os_message(e))
                        raise StepError(step, self._os_message(e))
                    except DiscError as e:
                        self.say("error: %s" % e)
                        raise StepError(step, str(e))
                    elapsed = time.monotonic() - started
                    self.say("== done in %.2f s" % elapsed)
            except StepError as e:
                emit("ERROR %s %s" % (e.step, e.message))
                return 1
            except OSError as e:  # the log itself could not be written
                emit("ERROR %s %s" % (step, self._os_message(e)))
                return 1
            finally:
                self.log = None
            self.state["done"][step] = round(elapsed, 3)
            try:
                self.save_state()
            except OSError as e:
                emit("ERROR %s %s" % (step, self._os_message(e)))
                return 1
            emit("DONE %s in %.2f" % (step, elapsed))
        total = sum(self.state["done"].values())
        # The game is complete: a later run is a rebuild, not a resumption.
        try:
            os.remove(self.state_path)
        except OSError:
            pass
        emit("RESULT ok %s prepared (steps took %.1f s)" % (os.path.join(self.game, game_exe_name()), total))
        return 0

    @staticmethod
    def _os_message(e):
        text = e.strerror or str(e)
        if e.filename:
            text += ": %s" % e.filename
        return text

    def open_disc(self):
        image, boot, digest = check_disc(self.disc, self.say)
        return image, boot, digest

    # the eight steps
    def step_verify(self):
        image, _, digest = self.open_disc()
        image.close()
        self.state["digest"] = digest
        self.work("verify", 4)

    def step_extract(self):
        image, _, _ = self.open_disc()
        target = os.path.join(self.out, "disc")
        if os.path.isdir(target):
            shutil.rmtree(target)
        entries = []

        def walk(entry, prefix):
            for rec in image.listdir(entry):
                if rec["dir"]:
                    walk(rec, prefix + rec["name"] + "/")
                else:
                    entries.append((prefix + rec["name"], rec))
        walk(image.root(), "")

        def extract(unit):
            name, rec = entries[unit]
            path = os.path.join(target, *name.split("/"))
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(image.read(rec["lba"], rec["size"]))
            self.say("extracted %s (%d bytes)" % (name, rec["size"]))
        try:
            self.work("extract", len(entries), extract)
        finally:
            image.close()

    def step_configure(self):
        config = {"serial": SERIAL, "boot": BOOT_FILE, "platform": sys.platform,
                  "python": sys.version.split()[0], "game": self.game}
        probes = ["compiler", "linker", "assembler", "zlib", "threads", "filesystem", "simd", "opengl",
                  "audio", "input", "memory cards", "video modes"]
        checks = 40

        def probe(unit):
            self.say("checking %s ... ok" % probes[unit % len(probes)])
        self.work("configure", checks, probe)
        write_atomically(os.path.join(self.out, "config.json"), json.dumps(config, indent=1).encode("utf-8"))

    def step_tools(self):
        tools = os.path.join(self.out, "tools")
        os.makedirs(tools, exist_ok=True)

        def make(unit):
            name = "tool%02d" % unit
            write_atomically(os.path.join(tools, name), hashlib.sha256(name.encode()).hexdigest().encode())
            self.say("built %s" % name)
        self.work("tools", 10, make)

    def step_recompile(self):
        elf_path = os.path.join(self.out, "disc", BOOT_FILE)
        with open(elf_path, "rb") as f:
            elf = f.read()
        if elf[:4] != b"\x7fELF":
            raise DiscError("%s is not an executable" % BOOT_FILE)
        recomp = os.path.join(self.out, "recomp")
        os.makedirs(recomp, exist_ok=True)
        chunk = 4096
        units = max(1, (len(elf) + chunk - 1) // chunk)

        def translate(unit):
            code = elf[unit * chunk:(unit + 1) * chunk]
            name = "func_%05x.c" % (unit * chunk)
            body = "/* %s */\nvoid %s(void) {}\n" % (hashlib.sha1(code).hexdigest(), name[:-2])
            write_atomically(os.path.join(recomp, name), body.encode())
            self.say("recompiled %s" % name)
        self.work("recompile", units, translate)

    def step_packs(self):
        disc_dir = os.path.join(self.out, "disc")
        packs = os.path.join(self.out, "packs")
        os.makedirs(packs, exist_ok=True)
        names = sorted(n for n in os.listdir(disc_dir) if n.upper() not in ("SYSTEM.CNF", BOOT_FILE))
        pieces = []
        for name in names:
            size = os.path.getsize(os.path.join(disc_dir, name))
            for offset in range(0, max(size, 1), 256 * 1024):
                pieces.append((name, offset))

        def convert(unit):
            name, offset = pieces[unit]
            with open(os.path.join(disc_dir, name), "rb") as f:
                f.seek(offset)
                data = f.read(256 * 1024)
            out = os.path.join(packs, "%s.%08x.pak" % (name, offset))
            write_atomically(out, zlib.compress(data, 1))
            self.say("converted %s at %d" % (name, offset))
        self.work("packs", len(pieces), convert)

    def step_compile(self):
        objects = os.path.join(self.out, "objects")
        os.makedirs(objects, exist_ok=True)
        sources = sorted(os.listdir(os.path.join(self.out, "recomp")))
        units = max(len(sources), 1)
        # Object files survive a stop, so a resumed compile carries on.
        done = sum(1 for s in sources if os.path.exists(os.path.join(objects, s[:-2] + ".o")))
        if done:
            self.say("%d of %d objects already compiled" % (done, units))

        def compile_one(unit):
            src = sources[unit]
            with open(os.path.join(self.out, "recomp", src), "rb") as f:
                data = f.read()
            write_atomically(os.path.join(objects, src[:-2] + ".o"), zlib.compress(data))
            self.say("compiling %s" % src)
        if done < units:
            self.work("compile", units, compile_one, first_unit=done)

    def step_stage(self):
        os.makedirs(self.game, exist_ok=True)
        program = kit_game_program()
        if not os.path.exists(program):
            raise DiscError("the kit's game program %s does not exist" % program)
        # The program and whatever libraries the kit ships beside it.
        kit_game = os.path.dirname(program)
        for name in sorted(os.listdir(kit_game)):
            source = os.path.join(kit_game, name)
            if not os.path.isfile(source):
                continue
            target = os.path.join(self.game, name)
            shutil.copyfile(source, target + ".tmp")
            shutil.copymode(source, target + ".tmp")
            os.replace(target + ".tmp", target)
            self.say("game file %s" % name)
        shutil.copyfile(os.path.join(self.out, "disc", BOOT_FILE), os.path.join(self.game, BOOT_FILE))
        self.say("boot file %s" % BOOT_FILE)
        image, _, _ = self.open_disc()
        try:
            with open(os.path.join(self.game, "disc.iso.tmp"), "wb") as f:
                for block in image.data_track():
                    f.write(block)
        finally:
            image.close()
        os.replace(os.path.join(self.game, "disc.iso.tmp"), os.path.join(self.game, "disc.iso"))
        self.say("disc image disc.iso")
        commit = release_value("commit") or "0" * 40
        text = "[build]\ncommit=%s\nversion=%s\nserial=%s\n" % (commit, release_value("version"), SERIAL)
        write_atomically(os.path.join(self.game, "built_from.ini"), text.encode("utf-8"))
        self.say("built from %s" % commit)
        self.work("stage", 2)


def game_exe_name():
    return "veyra.exe" if os.name == "nt" else "veyra"


def kit_game_program():
    """The game program the kit ships; the stage step copies it into the game folder."""
    return os.path.join(RELEASE_DIR, "kit", "game", game_exe_name())


def release_value(key):
    try:
        with open(os.path.join(SOURCE_DIR, "release.ini"), "r", encoding="utf-8") as f:
            for line in f:
                k, sep, v = line.rstrip("\r\n").partition("=")
                if sep and k.strip() == key:
                    return v.strip()
    except OSError:
        pass
    return ""


def main(argv):
    args = {"--check": False}
    usage = "usage: veyra_build.py --check --disc IMAGE | --disc IMAGE --out DIR --game DIR"
    i = 0
    while i < len(argv):
        arg = argv[i]
        if arg == "--check":
            args["--check"] = True
        elif arg in ("--disc", "--out", "--game") and i + 1 < len(argv):
            args[arg] = argv[i + 1]
            i += 1
        else:
            emit("ERROR verify unknown argument %s; %s" % (arg, usage))
            return 2
        i += 1
    if "--disc" not in args:
        emit("ERROR verify no --disc given; " + usage)
        return 2
    if args["--check"]:
        return run_check(args["--disc"])
    if "--out" not in args or "--game" not in args:
        emit("ERROR verify --out and --game are needed to build; " + usage)
        return 2
    return Build(args["--disc"], args["--out"], args["--game"]).run()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
