#!/usr/bin/python3
"""Serves the web build on localhost as the relay does: the compressed copy made at build time
that the browser accepts (Brotli, then gzip), with ETag and Last-Modified so that a browser that
has a file already is answered 304 without a body, and no-cache, as the build's file names do
not change. Counts the bytes it sends, for the measurements and the tests.

    python3 scripts/web_server.py FOLDER [PORT]
"""
import collections
import email.utils
import http.server
import io
import re
import socket
import os
import sys
import threading

COPIES = (("br", ".br"), ("gzip", ".gz"))


def accepts(header, coding):
    """Whether an Accept-Encoding value accepts a coding (q=0 refuses; * names the rest)."""
    named = star = None
    for item in (header or "").split(","):
        name, _, parameters = item.partition(";")
        name = name.strip().lower()
        if not name:
            continue
        accepted = True
        parameters = parameters.replace(" ", "").lower()
        if parameters.startswith("q="):
            try:
                accepted = float(parameters[2:].split(";")[0]) > 0
            except ValueError:
                pass
        if name == coding:
            named = accepted
        elif name == "*":
            star = accepted
    return named if named is not None else bool(star)


class WebHandler(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def setup(self):
        super().setup()
        self.wfile = CountingWriter(self.wfile, self.server)

    def log_message(self, *args):
        pass

    def copyfile(self, source, outputfile):
        if self.path.split("?")[0] in self.server.cut_files:
            _cut_copy(self, source, outputfile)
            return
        super().copyfile(source, outputfile)

    def representation(self, path):
        """(file to send, encoding or None, whether copies exist) for a file of the build."""
        status = os.stat(path)
        chosen, encoding, varies = path, None, False
        for coding, suffix in COPIES:
            copy = path + suffix
            # A copy older than its file was made from another version: never sent.
            if os.path.isfile(copy) and not os.path.islink(copy) and \
                    os.stat(copy).st_mtime_ns >= status.st_mtime_ns:
                varies = True
                if encoding is None and accepts(self.headers.get("Accept-Encoding"), coding):
                    chosen, encoding = copy, coding
        return chosen, encoding, varies, status

    def send_head(self):
        extra = self.server.extra_pages.get(self.path.split("?")[0])
        if extra is not None:
            self.send_response(200)
            self.send_header("Content-Type", "text/html; charset=utf-8")
            self.send_header("Content-Length", str(len(extra)))
            self.send_header("Cache-Control", "no-store")
            self.end_headers()
            return io.BytesIO(extra)
        path = self.translate_path(self.path)
        if os.path.isdir(path):
            path = os.path.join(path, "index.html")
        if not os.path.isfile(path):
            self.send_error(404, "File not found")
            return None
        self.server.accept_encoding = self.headers.get("Accept-Encoding", "")
        chosen, encoding, varies, status = self.representation(path)
        etag = f'"{status.st_mtime_ns:x}-{status.st_size:x}{"-" + encoding if encoding else ""}"'
        modified = email.utils.formatdate(status.st_mtime, usegmt=True)
        match = self.headers.get("If-None-Match")
        since = self.headers.get("If-Modified-Since")
        unchanged = False
        if match:
            tags = [t.strip().removeprefix("W/") for t in match.split(",")]
            unchanged = "*" in tags or etag in tags
        elif since:
            try:
                unchanged = int(status.st_mtime) <= \
                    email.utils.parsedate_to_datetime(since).timestamp()
            except (TypeError, ValueError):
                pass
        file = None if unchanged else open(chosen, "rb")
        self.server.statuses[304 if unchanged else 200] += 1
        if not unchanged:
            self.server.bodies_sent[path] += 1
        self.send_response(304 if unchanged else 200)
        self.send_header("Content-Type", self.guess_type(path))
        if encoding:
            self.send_header("Content-Encoding", encoding)
        if varies:
            self.send_header("Vary", "Accept-Encoding")
        self.send_header("ETag", etag)
        self.send_header("Last-Modified", modified)
        self.send_header("Cache-Control", "no-cache")
        if not unchanged:
            self.send_header("Content-Length", str(os.fstat(file.fileno()).st_size))
        self.end_headers()
        return file


def published_files(folder):
    """The files the service worker keeps: everything a visit may fetch."""
    with open(os.path.join(folder, "service-worker.js"), encoding="utf-8") as file:
        listing = file.read().split("FILES = [", 1)[1].split("];", 1)[0]
    return [("index.html" if path == "./" else path) for path in re.findall(r"'([^']+)'", listing)]


def served_size(folder, paths, accept_encoding):
    """The bytes the files take as this server sends them to a browser that accepts these."""
    total = 0
    for path in paths:
        file = os.path.join(folder, path)
        chosen = file
        for coding, suffix in COPIES:
            copy = file + suffix
            if accepts(accept_encoding, coding) and os.path.isfile(copy) and \
                    os.stat(copy).st_mtime_ns >= os.stat(file).st_mtime_ns:
                chosen = copy
                break
        total += os.path.getsize(chosen)
    return total


def _cut_copy(handler, source, output):
    """Half the body, then the connection closes: the browser sees a line that dropped."""
    output.write(source.read(max(1, os.fstat(source.fileno()).st_size // 2)))
    output.flush()
    handler.close_connection = True
    handler.connection.shutdown(socket.SHUT_RDWR)


class CountingWriter:
    """The connection's writer, adding what passes through it to the server's count."""

    def __init__(self, inner, server):
        self.inner = inner
        self.server = server

    def write(self, data):
        with self.server.count_lock:
            self.server.sent_bytes += len(data)
        return self.inner.write(data)

    def __getattr__(self, name):
        return getattr(self.inner, name)


class WebServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, address, handler):
        super().__init__(address, handler)
        self.sent_bytes = 0
        self.accept_encoding = ""  # what the last browser accepted
        self.statuses = collections.Counter()  # answers sent, by status
        self.bodies_sent = collections.Counter()  # file -> times its body was sent
        self.cut_files = set()  # paths whose bodies stop halfway, as on a line that drops
        self.extra_pages = {}  # path -> bytes of a page that is not in the folder (measurements)
        self.count_lock = threading.Lock()

    def handle_error(self, request, client_address):
        # A browser that closes while a file is on its way is no error of the page.
        if not isinstance(sys.exc_info()[1], ConnectionError):
            super().handle_error(request, client_address)


def main():
    import functools
    folder = sys.argv[1] if len(sys.argv) > 1 else "build/web"
    port = int(sys.argv[2]) if len(sys.argv) > 2 else 8000
    handler = functools.partial(WebHandler, directory=folder)
    with WebServer(("127.0.0.1", port), handler) as server:
        server.serve_forever()


if __name__ == "__main__":
    main()
