#!/usr/bin/env python3
"""A small HTTP server for the answers a real server rarely gives: the
odd cases the update downloads must survive. Standard library only.

Paths are /<mode>/<size>/<name>; the body of every item is item_bytes(size),
so a test can check what arrived without a fixture file:
  /ok/N/x        200 with Content-Length N, for HEAD and GET
  /refuse-head/N/x  HEAD answered 405, GET 200 with N bytes
  /no-length/N/x  200 without Content-Length; the body ends with the connection
  /missing/N/x   404 with a small HTML error page
  /drop/N/x      Content-Length N, half the body, then a reset connection
  /short/N/x     Content-Length N, 100 bytes fewer, then a normal close
  /slow/N/x      Content-Length N, sent in 8 KiB pieces 50 ms apart
  /hang/N/x      no answer for 20 seconds (a server that accepted and stalls)
  /stall/N/x     Content-Length N, half the body, then nothing for 20 seconds
  /grow/N/x      HEAD says N; GET sends 2N bytes without Content-Length
  /status500/N/x always 500
Items that can be resumed carry an ETag and Last-Modified and answer a
Range request whose If-Range matches (206 with Content-Range); the first
GET of each path ends after half its body:
  /range-cut/N/x     as described
  /norange-cut/N/x   Range ignored: every GET answers 200 with the whole body
  /changing-cut/N/x  every GET is a new version (new ETag, other bytes), so
                     a resumed request gets the whole new version
  /flaky/N/x         the first GET answers 503, later ones the whole item
/_headers?path=P  the request headers of the last GET of path P, one
                  "Name: value" per line (404 when none came)
/_ranges?path=P   one line per GET of path P: its Range header, or "-"

Prints the port it listens on (127.0.0.1) as its first line of output.
"""
import http.server
import socket
import socketserver
import struct
import sys
import threading
import time
import urllib.parse

_lock = threading.Lock()
_last_headers = {}
_ranges = {}  # path -> the Range header of each GET, "-" without one


def item_bytes(size, version=0):
    """Deterministic content: byte i is (i * 31 + 7 + version) mod 251."""
    pattern = bytes((i * 31 + 7 + version) % 251 for i in range(251))
    reps = size // 251 + 1
    return (pattern * reps)[:size]


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def _parse(self):
        parts = self.path.split("?")[0].strip("/").split("/")
        if len(parts) < 3:
            return None, 0
        try:
            return parts[0], int(parts[1])
        except ValueError:
            return None, 0

    def do_HEAD(self):
        self._answer(head=True)

    def do_GET(self):
        if self.path.startswith("/_headers"):
            query = urllib.parse.parse_qs(urllib.parse.urlparse(self.path).query)
            with _lock:
                lines = _last_headers.get(query.get("path", [""])[0])
            if lines is None:
                self._simple(404, b"none")
            else:
                self._simple(200, "".join(f"{k}: {v}\r\n" for k, v in lines).encode("utf-8"))
            return
        if self.path.startswith("/_ranges"):
            query = urllib.parse.parse_qs(urllib.parse.urlparse(self.path).query)
            with _lock:
                lines = _ranges.get(query.get("path", [""])[0], [])
            self._simple(200, "".join(line + "\n" for line in lines).encode("utf-8"))
            return
        with _lock:
            _last_headers[self.path] = list(self.headers.items())
            _ranges.setdefault(self.path, []).append(self.headers.get("Range", "-"))
        self._answer(head=False)

    def _simple(self, status, body):
        self.send_response(status)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Content-Type", "text/plain")
        self.end_headers()
        self.wfile.write(body)

    def _answer(self, head):
        mode, size = self._parse()
        body = item_bytes(size)
        if mode == "ok":
            self._send_item(body, head)
        elif mode == "refuse-head":
            if head:
                self.send_response(405)
                self.send_header("Content-Length", "0")
                self.send_header("Allow", "GET")
                self.end_headers()
            else:
                self._send_item(body, head)
        elif mode == "no-length":
            self.send_response(200)
            self.send_header("Content-Type", "application/zip")
            self.send_header("Connection", "close")
            self.end_headers()
            if not head:
                self.wfile.write(body)
            self.close_connection = True
        elif mode == "missing":
            page = b"<html><body><h1>404 Not Found</h1></body></html>"
            self.send_response(404)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", str(len(page)))
            self.end_headers()
            if not head:
                self.wfile.write(page)
        elif mode == "drop":
            self._headers(size)
            if not head:
                self.wfile.write(body[: size // 2])
                self.wfile.flush()
                time.sleep(0.1)
                # SO_LINGER 0: close sends a reset, not an orderly end.
                self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                self.connection.close()
            self.close_connection = True
        elif mode == "short":
            self._headers(size)
            if not head:
                self.wfile.write(body[: max(0, size - 100)])
                self.wfile.flush()
                self.connection.shutdown(socket.SHUT_WR)
            self.close_connection = True
        elif mode == "hang":
            time.sleep(20)
            self.close_connection = True
        elif mode == "slow":
            self._headers(size)
            if not head:
                for i in range(0, size, 8192):
                    try:
                        self.wfile.write(body[i:i + 8192])
                        self.wfile.flush()
                    except OSError:
                        break
                    time.sleep(0.05)
        elif mode == "stall":
            self._headers(size)
            if not head:
                self.wfile.write(body[: size // 2])
                self.wfile.flush()
                time.sleep(20)
            self.close_connection = True
        elif mode == "grow":
            if head:
                self._headers(size)
                return
            self.send_response(200)
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(item_bytes(2 * size))
            self.close_connection = True
        elif mode == "status500":
            self._simple(500, b"server error")
        elif mode in ("range-cut", "norange-cut", "changing-cut", "flaky"):
            self._resumable(mode, size, head)
        else:
            self._simple(400, b"unknown mode")

    def _resumable(self, mode, size, head):
        with _lock:
            gets = len(_ranges.get(self.path, []))
        version = gets if mode == "changing-cut" else 0
        etag = f'"lk-{size}-{version}"'
        body = item_bytes(size, version)
        if mode == "flaky" and gets == 1 and not head:
            self._simple(503, b"try again")
            return
        start = 0
        wanted = self.headers.get("Range", "")
        if (mode != "norange-cut" and not head and wanted.startswith("bytes=") and wanted.endswith("-")
                and self.headers.get("If-Range", etag) == etag):
            start = int(wanted[6:-1])
        part = body[start:]
        self.send_response(206 if start else 200)
        self.send_header("Content-Type", "application/zip")
        self.send_header("Content-Length", str(len(part)))
        self.send_header("ETag", etag)
        self.send_header("Last-Modified", "Mon, 07 Dec 2026 10:00:00 GMT")
        self.send_header("Accept-Ranges", "bytes")
        if start:
            self.send_header("Content-Range", f"bytes {start}-{size - 1}/{size}")
        self.end_headers()
        if head:
            return
        if gets == 1 and mode != "flaky":
            # An orderly end half-way: the client sees exactly half.
            self.wfile.write(part[: len(part) // 2])
            self.wfile.flush()
            self.connection.shutdown(socket.SHUT_WR)
            self.close_connection = True
            return
        self.wfile.write(part)

    def _headers(self, size):
        self.send_response(200)
        self.send_header("Content-Type", "application/zip")
        self.send_header("Content-Length", str(size))
        self.end_headers()

    def _send_item(self, body, head):
        self._headers(len(body))
        if not head:
            self.wfile.write(body)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    server = Server(("127.0.0.1", int(sys.argv[1]) if len(sys.argv) > 1 else 0), Handler)
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
