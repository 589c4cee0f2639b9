#!/usr/bin/env python3
"""Serves a folder over HTTP: the site for a browser (scripts/play-web), and for the
page's tests and benchmarks (tests/web/browser.js).

    serve.py FOLDER [--bind ADDRESS] [--port PORT] [--no-store] [--controls]

Listens on ADDRESS (127.0.0.1 unless given) and PORT (one the system picks unless
given, or 0), and prints "listening on ADDRESS port N" once it does. Each file goes
out with its media type (the manifest as application/manifest+json, whatever the
machine's own list says); a browser may keep files and ask whether they changed,
as from any static host.
  --no-store  nothing is kept (Cache-Control: no-store): each load asks again.
  --controls  the tests' controls, never for a server others can reach:
              GET /.hold/NAME makes requests for /NAME wait, and GET /.release/NAME
              lets them go on. With ?at=TEXT, a request for /NAME gets the file up
              to the first TEXT in it at once, and the rest once released: a test
              sees the page read up to its script. The page itself is /.
              GET /.requests answers with the paths asked for since the last time
              it was asked, one a line, in the order they came.
Ctrl-C stops it."""
import argparse
import functools
import http.server
import os
import sys
import threading
import urllib.parse

MEDIA_TYPES = {
    ".html": "text/html",
    ".css": "text/css",
    ".js": "text/javascript",
    ".json": "application/json",
    ".webmanifest": "application/manifest+json",
    ".wasm": "application/wasm",
    ".png": "image/png",
    ".svg": "image/svg+xml",
    ".ico": "image/vnd.microsoft.icon",
}
HOLD_SECONDS = 120  # the longest a held request waits


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map, **MEDIA_TYPES}
    no_store = False
    controls = None  # Controls, with --controls

    def do_GET(self):
        if self.controls is not None and self.controls.answer(self):
            return
        super().do_GET()

    def end_headers(self):
        if self.no_store:
            self.send_header("Cache-Control", "no-store")
        super().end_headers()

    def log_message(self, *args):
        pass


class Controls:
    """The files held back, where each stops while it is held, and the paths asked for."""

    def __init__(self):
        self.lock = threading.Lock()
        self.released = {}  # path -> Event, set while requests for path may go on
        self.stops_at = {}  # path -> the bytes before which a held file stops, or None
        self.asked = []  # the paths asked for, with their queries

    def gate(self, path):
        with self.lock:
            return self.released.setdefault(path, threading.Event())

    def answer(self, handler):
        """Answers a control request, or holds a request for a held file until it is
        released; false when the request is to be served as usual. Notes each
        request but the controls'."""
        url = urllib.parse.urlsplit(handler.path)
        if url.path == "/.requests":
            self.send_requests(handler)
            return True
        with self.lock:
            if not url.path.startswith(("/.hold/", "/.release/")):
                self.asked.append(handler.path)
        for verb in ("hold", "release"):
            prefix = f"/.{verb}/"
            if url.path.startswith(prefix):
                self.control(handler, verb, "/" + url.path[len(prefix):], urllib.parse.parse_qs(url.query))
                return True
        with self.lock:
            released = self.released.get(url.path)
            at = self.stops_at.get(url.path)
        if released is None or released.is_set():
            return False
        if at is None:
            released.wait(timeout=HOLD_SECONDS)
            return False
        self.send_in_two(handler, url.path, at, released)
        return True

    def control(self, handler, verb, path, query):
        if verb == "hold":
            self.gate(path).clear()
            with self.lock:
                self.stops_at[path] = query["at"][0].encode() if "at" in query else None
        else:
            self.gate(path).set()
        handler.send_response(204)
        handler.end_headers()

    def send_requests(self, handler):
        with self.lock:
            body = "".join(f"{path}\n" for path in self.asked).encode()
            self.asked.clear()
        handler.send_response(200)
        handler.send_header("Content-Type", "text/plain; charset=utf-8")
        handler.send_header("Content-Length", str(len(body)))
        handler.end_headers()
        handler.wfile.write(body)

    @staticmethod
    def send_in_two(handler, path, at, released):
        """The file up to `at`, then, once released, the rest."""
        file = handler.translate_path(path)
        if os.path.isdir(file):
            file = os.path.join(file, "index.html")
        with open(file, "rb") as f:
            data = f.read()
        cut = data.find(at)
        cut = len(data) if cut < 0 else cut
        handler.send_response(200)
        handler.send_header("Content-Type", handler.guess_type(file))
        handler.send_header("Content-Length", str(len(data)))
        handler.end_headers()
        handler.wfile.write(data[:cut])
        handler.wfile.flush()
        released.wait(timeout=HOLD_SECONDS)
        handler.wfile.write(data[cut:])


def main(argv):
    parser = argparse.ArgumentParser(prog="serve.py", description="Serves a folder over HTTP.")
    parser.add_argument("folder")
    parser.add_argument("--bind", default="127.0.0.1", metavar="ADDRESS")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--no-store", action="store_true")
    parser.add_argument("--controls", action="store_true")
    options = parser.parse_args(argv)
    if not os.path.isdir(options.folder):
        parser.error(f"{options.folder} is not a folder")
    handler = type("SiteHandler", (Handler,), {
        "no_store": options.no_store,
        "controls": Controls() if options.controls else None,
    })
    try:
        server = http.server.ThreadingHTTPServer((options.bind, options.port),
                                                 functools.partial(handler, directory=options.folder))
    except OSError as error:
        print(f"serve.py: cannot listen on {options.bind} port {options.port}: {error.strerror}", file=sys.stderr)
        return 1
    with server:
        print(f"listening on {options.bind} port {server.server_address[1]}", flush=True)
        try:
            server.serve_forever()
        except KeyboardInterrupt:
            pass
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
