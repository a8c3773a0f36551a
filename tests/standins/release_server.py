#!/usr/bin/env python3
"""A local stand-in for the release service, for the tests and the demo.

Listens on 127.0.0.1 only, on two ports the system picks (the second one is a
redirect target), and prints "PORTS <first> <second>" as its first line (also
written to --port-file). Routes:

  /repos/TheTamblers/Morvane/releases/latest   the latest-release answer (--tag)
  /latest/<tag>                                the same answer for another tag
  /delayed-latest/<ms>                         the answer, after a pause
  /download/<tag>/<file>                       a file from --assets (404 if absent)
  /slowdownload/<tag>/<file>                   the same; archives trickle (4 KiB / 50 ms)
  /status/<code>                               that status with a short page
  /bytes/<n>                                   n bytes with Content-Length
  /nolength/<n>                                n bytes, no Content-Length, then close
  /drip/<n>/<ms>                               n bytes, one every <ms>, with Content-Length
  /paced/<size>/<ms>/<count>                   count pieces of size bytes, <ms> apart
  /stall                                       reads the request, never answers
  /stall-body/<n>                              headers for n bytes, 10 of them, then silence
  /other/<path>                                302 to <path> on the second port
  /loop/<k>                                    302 to /loop/<k+1>, forever
Every request is appended to --log as "<port> <path>" so tests can tell what
was asked for.
"""
import argparse
import json
import os
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

ARGS = None
PORTS = []
LOG_LOCK = threading.Lock()
CHUNK = b"0123456789abcdef" * 4096  # 64 KiB


def latest_answer(tag):
    # Shaped like the real answer: many members, tag_name among them.
    return json.dumps({
        "url": "https://example.invalid/repos/TheTamblers/Morvane/releases/1",
        "assets_url": "https://example.invalid/repos/TheTamblers/Morvane/releases/1/assets",
        "html_url": "https://example.invalid/TheTamblers/Morvane/releases/tag/" + tag,
        "id": 1,
        "author": {"login": "tambler", "id": 7, "type": "User", "site_admin": False},
        "node_id": "RE_kwDOAAAAAc4AAAAB",
        "tag_name": tag,
        "target_commitish": "main",
        "name": "Morvane " + tag,
        "draft": False,
        "prerelease": False,
        "created_at": "2026-11-30T10:00:00Z",
        "published_at": "2026-11-30T10:05:00Z",
        "assets": [{"name": "Morvane-%s-tambler.zip" % tag.lstrip("vV"), "size": 1234,
                    "content_type": "application/zip"}],
        "body": "What is new: \"quoted\" text, and a tag_name inside the notes.",
    }, indent=2).encode()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def send_body(self, code, body, ctype="application/octet-stream", length=True):
        self.send_response(code)
        self.send_header("Content-Type", ctype)
        if length:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def stream(self, n, length=True, chunk=CHUNK, pause=0.0):
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if length:
            self.send_header("Content-Length", str(n))
        self.end_headers()
        while n > 0:
            part = chunk[:min(n, len(chunk))]
            self.wfile.write(part)
            self.wfile.flush()
            n -= len(part)
            if pause:
                time.sleep(pause)

    def do_GET(self):
        try:
            self.route()
        except (BrokenPipeError, ConnectionResetError):
            pass

    def route(self):
        port = self.server.server_address[1]
        if ARGS.log:
            with LOG_LOCK, open(ARGS.log, "a", encoding="utf-8") as f:
                f.write("%d %s\n" % (port, self.path))
        parts = [p for p in self.path.split("?")[0].split("/") if p]
        head = parts[0] if parts else ""
        if self.path == "/repos/TheTamblers/Morvane/releases/latest":
            self.send_body(200, latest_answer(ARGS.tag), "application/json; charset=utf-8")
        elif head == "latest" and len(parts) == 2:
            self.send_body(200, latest_answer(parts[1]), "application/json; charset=utf-8")
        elif head == "delayed-latest" and len(parts) == 2:
            time.sleep(int(parts[1]) / 1000.0)
            self.send_body(200, latest_answer(ARGS.tag), "application/json; charset=utf-8")
        elif head in ("download", "slowdownload") and len(parts) == 3:
            path = os.path.join(ARGS.assets or "", parts[2])
            if not ARGS.assets or not os.path.isfile(path) or parts[2].startswith("."):
                self.send_body(404, b"Not Found", "text/plain")
                return
            with open(path, "rb") as f:
                data = f.read()
            if head == "slowdownload" and not parts[2].endswith(".sha256"):
                self.send_response(200)
                self.send_header("Content-Length", str(len(data)))
                self.end_headers()
                for i in range(0, len(data), 4096):
                    self.wfile.write(data[i:i + 4096])
                    self.wfile.flush()
                    time.sleep(0.05)
            else:
                self.send_body(200, data)
        elif head == "status" and len(parts) == 2:
            code = int(parts[1])
            self.send_body(code, b"<html>status page %d</html>" % code, "text/html")
        elif head == "bytes" and len(parts) == 2:
            self.stream(int(parts[1]))
        elif head == "nolength" and len(parts) == 2:
            self.stream(int(parts[1]), length=False)
        elif head == "drip" and len(parts) == 3:
            self.stream(int(parts[1]), chunk=b"x", pause=int(parts[2]) / 1000.0)
        elif head == "paced" and len(parts) == 4:
            size, pause, count = int(parts[1]), int(parts[2]) / 1000.0, int(parts[3])
            self.send_response(200)
            self.send_header("Content-Length", str(size * count))
            self.end_headers()
            for _ in range(count):
                self.wfile.write(b"p" * size)
                self.wfile.flush()
                time.sleep(pause)
        elif head == "stall":
            time.sleep(120)
        elif head == "stall-body" and len(parts) == 2:
            self.send_response(200)
            self.send_header("Content-Length", parts[1])
            self.end_headers()
            self.wfile.write(b"x" * 10)
            self.wfile.flush()
            time.sleep(120)
        elif head == "other":
            rest = "/" + "/".join(parts[1:])
            self.send_response(302)
            self.send_header("Location", "http://127.0.0.1:%d%s" % (PORTS[1], rest))
            self.send_header("Content-Length", "0")
            self.end_headers()
        elif head == "loop" and len(parts) == 2:
            self.send_response(302)
            self.send_header("Location", "/loop/%d" % (int(parts[1]) + 1))
            self.send_header("Content-Length", "0")
            self.end_headers()
        else:
            self.send_body(404, b"Not Found", "text/plain")


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = False


def main():
    global ARGS
    p = argparse.ArgumentParser()
    p.add_argument("--tag", default="v0.1.7")
    p.add_argument("--assets")
    p.add_argument("--port-file")
    p.add_argument("--log")
    p.add_argument("--lifetime", type=float, default=3600, help="seconds before exiting on its own")
    p.add_argument("--watch-parent", type=int, metavar="PID",
                   help="exit once PID is no longer this server's parent (it ended)")
    ARGS = p.parse_args()

    servers = [Server(("127.0.0.1", 0), Handler) for _ in range(2)]
    PORTS.extend(s.server_address[1] for s in servers)
    for s in servers:
        threading.Thread(target=s.serve_forever, daemon=True).start()
    line = "PORTS %d %d" % tuple(PORTS)
    if ARGS.port_file:
        tmp = ARGS.port_file + ".tmp"
        with open(tmp, "w") as f:
            f.write(line + "\n")
        os.replace(tmp, ARGS.port_file)
    print(line, flush=True)

    end = time.monotonic() + ARGS.lifetime
    while time.monotonic() < end:
        if ARGS.watch_parent and os.getppid() != ARGS.watch_parent:
            break
        time.sleep(0.25)
    os._exit(0)


if __name__ == "__main__":
    main()
