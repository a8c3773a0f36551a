#!/usr/bin/env python3
"""The Wine test interpreter's bridge (demo/wine_python/python_bridge.py) on
its own, with this script playing the Windows stand-in's side of the
loopback protocol: the token, drive paths turned into POSIX paths, output
sent back byte for byte, the exit code, and the script's whole process group
killed when the stand-in's connection drops.

  python_bridge_test.py SOURCE_DIR
"""
import os
import socket
import subprocess
import sys
import tempfile
import time


def fail(message):
    print("FAIL: " + message, flush=True)
    sys.exit(1)


def field(tag, value):
    data = value.encode("utf-8")
    return tag.encode() + b" " + str(len(data)).encode() + b"\n" + data


def request(port, token, cwd, args, env=(), merged=True):
    conn = socket.create_connection(("127.0.0.1", port), timeout=30)
    parts = [field("T", token), field("P", "4242"), field("C", cwd)]
    parts += [field("A", a) for a in args] + [field("E", e) for e in env]
    parts += [field("M", "1" if merged else "0"), field("Z", "")]
    conn.sendall(b"".join(parts))
    return conn


def frames(conn):
    """Every frame until the connection ends: a list of (tag, bytes)."""
    buffer, out = b"", []
    while True:
        chunk = conn.recv(65536)
        if not chunk:
            return out
        buffer += chunk
        while b"\n" in buffer:
            head, _, rest = buffer.partition(b"\n")
            size = int(head[2:])
            if len(rest) < size:
                break
            out.append((head[:1], rest[:size]))
            buffer = rest[size:]


def wine_path(path):
    return "Z:" + path.replace("/", "\\")


def main():
    source = sys.argv[1]
    work = tempfile.mkdtemp(prefix="veyra-bridge-test-")
    log = os.path.join(work, "bridge.log")
    port_file = os.path.join(work, "port")
    bridge = subprocess.Popen([sys.executable, os.path.join(source, "demo", "wine_python", "python_bridge.py"),
                               "--port-file", port_file, "--log", log, "--lifetime", "60"])
    try:
        for _ in range(100):
            if os.path.exists(port_file):
                break
            time.sleep(0.1)
        port, token = open(port_file).read().split()
        port = int(port)
        if oct(os.stat(port_file).st_mode & 0o777) != "0o600":
            fail("the port file with the token is readable by others")

        folder = os.path.join(work, "a folder é")
        os.makedirs(folder)
        script = os.path.join(folder, "script.py")
        with open(script, "w", encoding="utf-8") as f:
            f.write("import os, sys\n"
                    "sys.stdout.buffer.write(('%s|%s|%s\\n' % (sys.argv[1:], os.getcwd(),"
                    " os.environ.get('VEYRA_BUILD_SPEED'))).encode())\n"
                    "sys.stdout.flush()\n"
                    "sys.stderr.write('err line\\n'); sys.stderr.flush()\n"
                    "sys.stdout.buffer.write(b'\\xff\\x00raw\\r\\nno end'); sys.stdout.flush()\n"
                    "sys.exit(7)\n")

        # A wrong token runs nothing.
        got = frames(request(port, "0" * 32, wine_path(folder), ["-I", wine_path(script)]))
        if got != [(b"e", b"the bridge refused the token")]:
            fail("a wrong token was not refused: %r" % got)

        # Whole drive-path arguments, the working folder and VEYRA_ values
        # are mapped; other arguments and the output are left alone.
        got = frames(request(port, token, wine_path(folder),
                             ["-I", "-X", "utf8", wine_path(script), "--disc", wine_path(folder + "/x.iso"),
                              "not Z:\\a path", "Z:relative"], env=["VEYRA_BUILD_SPEED=0.5", "OTHER=1"]))
        output = b"".join(data for tag, data in got if tag == b"1")
        expected = ("%s|%s|0.5\n" % (["--disc", folder + "/x.iso", "not Z:\\a path", "Z:relative"], folder)).encode()
        expected += b"err line\n\xff\x00raw\r\nno end"
        if output != expected:
            fail("output %r, expected %r" % (output, expected))
        if got[-1] != (b"x", b"7"):
            fail("exit frame %r" % (got[-1],))

        # Separate streams when the stand-in had two handles.
        got = frames(request(port, token, wine_path(folder), ["-I", wine_path(script)], merged=False))
        if b"err line\n" not in [data for tag, data in got if tag == b"2"]:
            fail("standard error did not come back on its own: %r" % got)

        # The stand-in goes away mid-script: the script and what it started end.
        sleeper = os.path.join(folder, "sleeper.py")
        with open(sleeper, "w") as f:
            f.write("import subprocess, sys, time\n"
                    "subprocess.Popen([sys.executable, '-c', 'import time; time.sleep(60)'])\n"
                    "print('started', flush=True)\n"
                    "time.sleep(60)\n")
        conn = request(port, token, wine_path(folder), ["-I", wine_path(sleeper)])
        conn.settimeout(30)
        if b"started" not in conn.recv(65536):
            fail("the sleeper did not start")
        group = None
        for line in open(log, encoding="utf-8"):
            if " start " in line and "sleeper.py" in line:
                group = int(line.split(" group ")[1].split(":")[0])
        conn.close()
        for _ in range(100):
            if " dropped " in open(log, encoding="utf-8").read():
                break
            time.sleep(0.1)
        if not any(" dropped " in l and "group %d killed, 0 left" % group in l for l in open(log, encoding="utf-8")):
            fail("the dropped script's group was not ended: " + open(log, encoding="utf-8").read())
        # Zombies have ended already; init reaps them in its own time.
        listing = subprocess.run(["ps", "-o", "stat=,pid=", "-g", str(group)], capture_output=True, text=True).stdout
        left = [l for l in listing.splitlines() if l.strip() and not l.strip().startswith("Z")]
        if left:
            fail("processes of group %d remain: %s" % (group, left))
        print("ok: python bridge")
        return 0
    finally:
        bridge.terminate()
        bridge.wait()
        subprocess.run(["rm", "-rf", work])


if __name__ == "__main__":
    sys.exit(main())
