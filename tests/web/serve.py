#!/usr/bin/env python3
"""Serves a folder on 127.0.0.1 for the page's tests, and can hold a file back.

    serve.py FOLDER

Prints "port N" once it listens.
- GET /.hold/NAME makes requests for /NAME wait; GET /.release/NAME lets them go on.
  With ?at=TEXT, a request for /NAME gets the file up to the first TEXT in it at
  once, and the rest when released: a test sees the page read up to its script.
  The page itself is /.
"""
import functools
import http.server
import os
import sys
import threading
import urllib.parse

held = {}  # path -> Event, set while requests for path may go on
held_at = {}  # path -> the bytes before which a held file stops
lock = threading.Lock()


def gate(path):
    with lock:
        return held.setdefault(path, threading.Event())


class Handler(http.server.SimpleHTTPRequestHandler):
    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        for verb in ('hold', 'release'):
            prefix = f'/.{verb}/'
            if url.path.startswith(prefix):
                self.control(verb, '/' + url.path[len(prefix):], urllib.parse.parse_qs(url.query))
                return
        with lock:
            event = held.get(url.path)
            at = held_at.get(url.path)
        if event is not None and at is not None and not event.is_set():
            self.send_in_two(url.path, at, event)
            return
        if event is not None:
            event.wait(timeout=120)
        super().do_GET()

    def control(self, verb, path, query):
        if verb == 'hold':
            gate(path).clear()
            with lock:
                held_at[path] = query['at'][0].encode() if 'at' in query else None
        else:
            gate(path).set()
        self.send_response(204)
        self.end_headers()

    # The file up to `at`, then, once released, the rest.
    def send_in_two(self, path, at, event):
        file = self.translate_path(path)
        if os.path.isdir(file):
            file = os.path.join(file, 'index.html')
        with open(file, 'rb') as f:
            data = f.read()
        cut = data.find(at)
        cut = len(data) if cut < 0 else cut
        self.send_response(200)
        self.send_header('Content-Type', self.guess_type(file))
        self.send_header('Content-Length', str(len(data)))
        self.end_headers()
        self.wfile.write(data[:cut])
        self.wfile.flush()
        event.wait(timeout=120)
        self.wfile.write(data[cut:])

    # Nothing cached: a file held back is asked for again on every load.
    def end_headers(self):
        self.send_header('Cache-Control', 'no-store')
        super().end_headers()

    def log_message(self, *args):
        pass


def main():
    handler = functools.partial(Handler, directory=sys.argv[1])
    with http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler) as server:
        print(f'port {server.server_address[1]}', flush=True)
        server.serve_forever()


if __name__ == '__main__':
    main()
