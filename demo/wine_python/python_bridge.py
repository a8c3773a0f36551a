#!/usr/bin/env python3
"""TEST AND DEMO FIXTURE ONLY: the Linux side of the Windows demo release's
stand-in interpreter (python_stub.cpp, installed as kit/python/python.exe).
A real Windows release ships a real Python in kit/ and needs none of this.

Under Wine a Windows program cannot start the Linux python3 and read its
output, so the stand-in connects here instead, on 127.0.0.1 only, and this
bridge runs the host's python3 with the stand-in's arguments:

  python_bridge.py --port-file FILE [--log FILE] [--lifetime S] [--watch-parent PID]

FILE receives "PORT TOKEN"; put that into VEYRA_PY_BRIDGE for the Windows
programs (the launcher passes its environment on to the stand-in). A request
without the token is refused, so no other local user can run commands here.

Per request: whole arguments that are Wine drive paths (Z:\\tmp\\x, also the
working folder and the forwarded VEYRA_* values) become the POSIX paths they
name; the script's output goes back unchanged, byte for byte. The script runs
in a process group of its own; when the stand-in's connection drops (the
launcher's job object ended it, or it was killed) the whole group is killed.

The log (one line per event) is the bridge's own accounting, read by the
containment tests: "start ID winpid W pid P group G: ARGS" (W: the stand-in's
process id in Wine), "exit ID code C",
"dropped ID: group G killed, N left", "refused: WHY".
"""
import argparse
import hmac
import os
import secrets
import selectors
import signal
import socket
import subprocess
import sys
import threading
import time

FORWARDED_PREFIX = "VEYRA_"
PYTHON = sys.executable or "/usr/bin/python3"
# After the script exits, how long its output may stay open (held by
# something it started) before the exit is reported anyway; a real
# interpreter's process ends with the script either way.
OUTPUT_GRACE = 0.5

log_lock = threading.Lock()
log_file = None
running = {}  # group id -> Popen, for the clean-up at exit
running_lock = threading.Lock()


def log(text):
    if log_file:
        with log_lock:
            log_file.write("%.3f %s\n" % (time.time(), text))
            log_file.flush()


def drive_roots():
    """Wine drive letters and the folders they stand for."""
    prefix = os.environ.get("WINEPREFIX") or os.path.join(os.path.expanduser("~"), ".wine")
    roots = {"z": "/"}
    devices = os.path.join(prefix, "dosdevices")
    try:
        for name in os.listdir(devices):
            if len(name) == 2 and name[1] == ":" and name[0].isalpha():
                target = os.path.realpath(os.path.join(devices, name))
                if os.path.isdir(target):
                    roots[name[0].lower()] = target
    except OSError:
        pass
    return roots


ROOTS = drive_roots()


def posix_path(value):
    """A whole argument that is a Wine drive path, as a POSIX path; anything
    else unchanged."""
    text = value[4:] if value.startswith("\\\\?\\") else value
    if len(text) >= 3 and text[1] == ":" and text[2] in "\\/" and text[0].lower() in ROOTS:
        rest = text[3:].replace("\\", "/")
        return os.path.join(ROOTS[text[0].lower()], rest)
    return value


class Request:
    def __init__(self):
        self.token = ""
        self.cwd = ""
        self.args = []
        self.env = {}
        self.merged = False
        self.winpid = 0


def read_request(conn):
    """Parses the stand-in's fields: TAG SIZE\\n then SIZE bytes, up to Z."""
    conn.settimeout(10)
    buffer = b""
    request = Request()
    while True:
        while b"\n" not in buffer:
            chunk = conn.recv(65536)
            if not chunk:
                raise ValueError("connection closed inside the request")
            buffer += chunk
        head, _, buffer = buffer.partition(b"\n")
        tag, size = head[:1], int(head[2:])
        while len(buffer) < size:
            chunk = conn.recv(65536)
            if not chunk:
                raise ValueError("connection closed inside the request")
            buffer += chunk
        value, buffer = buffer[:size].decode("utf-8", "surrogateescape"), buffer[size:]
        if tag == b"T":
            request.token = value
        elif tag == b"C":
            request.cwd = posix_path(value)
        elif tag == b"A":
            request.args.append(posix_path(value))
        elif tag == b"E":
            name, _, text = value.partition("=")
            if name.startswith(FORWARDED_PREFIX):
                request.env[name] = posix_path(text)
        elif tag == b"P":
            request.winpid = int(value)
        elif tag == b"M":
            request.merged = value == "1"
        elif tag == b"Z":
            return request
        else:
            raise ValueError("unknown field %r" % tag)


def frame(tag, data):
    return tag + b" " + str(len(data)).encode() + b"\n" + data


def processes_in_group(group):
    count = 0
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % pid, "rb") as f:
                fields = f.read().rsplit(b")", 1)[1].split()
            # state is field 3; a zombie has ended already
            if int(fields[2]) == group and fields[0] != b"Z":
                count += 1
        except (OSError, IndexError, ValueError):
            pass
    return count


def end_group(proc):
    try:
        os.killpg(proc.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    proc.wait()
    for _ in range(50):
        left = processes_in_group(proc.pid)
        if not left:
            break
        time.sleep(0.02)
    return left


def serve(conn, number, token):
    try:
        request = read_request(conn)
    except (OSError, ValueError) as e:
        log("refused: %s" % e)
        conn.close()
        return
    if not hmac.compare_digest(request.token.encode(), token.encode()):
        log("refused: wrong token")
        conn.sendall(frame(b"e", b"the bridge refused the token"))
        conn.close()
        return
    env = {k: v for k, v in os.environ.items() if not k.startswith(FORWARDED_PREFIX)}
    env.update(request.env)
    try:
        proc = subprocess.Popen([PYTHON] + request.args, cwd=request.cwd or None, env=env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT if request.merged else subprocess.PIPE,
                                start_new_session=True)
    except OSError as e:
        log("refused: %s" % e)
        conn.sendall(frame(b"e", ("python3 could not start: %s" % e).encode()))
        conn.close()
        return
    with running_lock:
        running[proc.pid] = proc
    log("start %d winpid %d pid %d group %d: %s" % (number, request.winpid, proc.pid, proc.pid,
                                                    " ".join(request.args)))
    conn.settimeout(None)
    sel = selectors.DefaultSelector()
    sel.register(conn, selectors.EVENT_READ, b"")
    sel.register(proc.stdout, selectors.EVENT_READ, b"1")
    if proc.stderr:
        sel.register(proc.stderr, selectors.EVENT_READ, b"2")
    open_pipes = 2 if proc.stderr else 1
    exited_at = None
    dropped = False
    while not dropped:
        if proc.poll() is not None:
            exited_at = exited_at or time.monotonic()
            if open_pipes == 0 or time.monotonic() - exited_at > OUTPUT_GRACE:
                break
        for key, _ in sel.select(timeout=0.1):
            if key.data == b"":
                # The stand-in never writes after its request: anything
                # readable here is the end of the connection.
                dropped = True
                break
            data = os.read(key.fileobj.fileno(), 65536)
            if not data:
                sel.unregister(key.fileobj)
                open_pipes -= 1
                continue
            try:
                conn.sendall(frame(key.data, data))
            except OSError:
                dropped = True
                break
    sel.close()
    if dropped:
        left = end_group(proc)
        log("dropped %d: group %d killed, %d left" % (number, proc.pid, left))
    else:
        code = proc.returncode if proc.returncode >= 0 else 128 - proc.returncode
        try:
            conn.sendall(frame(b"x", str(code).encode()))
        except OSError:
            pass
        # What the script started dies with it, as in the launcher's job.
        end_group(proc)
        log("exit %d code %d" % (number, code))
    with running_lock:
        running.pop(proc.pid, None)
    for pipe in (proc.stdout, proc.stderr):
        if pipe:
            pipe.close()
    conn.close()


def main():
    global log_file
    p = argparse.ArgumentParser()
    p.add_argument("--port-file", required=True)
    p.add_argument("--log")
    p.add_argument("--lifetime", type=float, default=3600, help="seconds before exiting on its own")
    p.add_argument("--watch-parent", type=int, metavar="PID", help="exit when this process is no longer the parent")
    args = p.parse_args()
    if args.log:
        log_file = open(args.log, "a", encoding="utf-8")
    token = secrets.token_hex(16)
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.bind(("127.0.0.1", 0))
    server.listen(16)
    server.settimeout(0.5)
    port = server.getsockname()[1]
    tmp = args.port_file + ".tmp"
    fd = os.open(tmp, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
    with os.fdopen(fd, "w") as f:
        f.write("%d %s\n" % (port, token))
    os.replace(tmp, args.port_file)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    end = time.monotonic() + args.lifetime
    number = 0
    try:
        while time.monotonic() < end:
            if args.watch_parent and os.getppid() != args.watch_parent:
                break
            try:
                conn, _ = server.accept()
            except socket.timeout:
                continue
            number += 1
            threading.Thread(target=serve, args=(conn, number, token), daemon=True).start()
    finally:
        with running_lock:
            for proc in list(running.values()):
                try:
                    os.killpg(proc.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass


if __name__ == "__main__":
    main()
