#!/usr/bin/env python3
"""Serves a folder on 127.0.0.1 for the page's tests, and can hold a file back.

    serve.py FOLDER

Prints "port N" once it listens. GET /.hold/NAME makes requests for /NAME wait;
GET /.release/NAME lets them go on. With it a test sees the page before its
script or its program has arrived.
"""
import functools
import http.server
import sys
import threading

held = {}  # path -> Event, set while requests for path may go on
held_lock = threading.Lock()


def gate(path):
    with held_lock:
        return held.setdefault(path, threading.Event())


class Handler(http.server.SimpleHTTPRequestHandler):
    def do_GET(self):
        for verb in ('hold', 'release'):
            prefix = f'/.{verb}/'
            if self.path.startswith(prefix):
                event = gate('/' + self.path[len(prefix):])
                event.clear() if verb == 'hold' else event.set()
                self.send_response(204)
                self.end_headers()
                return
        path = self.path.split('?', 1)[0]
        with held_lock:
            event = held.get(path)
        if event is not None:
            event.wait(timeout=120)
        super().do_GET()

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
