#!/usr/bin/env python3
"""Serves a folder on loopback for the network tests, with answers a real
server may give: the first path segment picks one.

  /404/...        404 with a page of its own
  /500/...        500 with a page of its own
  /slow/...       nothing at all until the client gives up
  /malformed/...  bytes that are no HTTP answer
  /cut/...        the file's headers promise twice its length; the
                  connection closes after the first half
  /empty/...      200 with no body
  /big/...        200 with 5 MiB of bytes
  /nolength/...   200 without a length: 5 MiB, then nothing for a minute
  /206/...        206 (partial content) with the file's first half
  /redirect/...   302 to the same path without "/redirect"
  /downgrade/...  302 to the same path without "/downgrade", over plain http
  /loop/...       302 to itself, for ever
  /trickle/...    200 promising 1 MiB, then one byte every 200 ms until the
                  client goes (or ten minutes pass)
  /chunked/<n>    n bytes in chunks of 64 KiB
  /endless/...    200, then a body without end; the others without end are in LASTING
  /html/...       200 with a web page, whatever the path names
  anything else   the file below the folder, or 404

Prints "PORT <n>" once it listens; ends when its input closes.
Answers that last print "OPEN <path>", then "CLOSED <path>" once the client
has closed the connection: tests wait for the close itself.
"""
import http.server
import os
import select
import socket
import ssl
import sys
import threading
import time
import urllib.parse

ROOT = os.path.abspath(sys.argv[1])
OK = b"HTTP/1.1 200 OK\r\n"
CHUNKED = OK + b"Transfer-Encoding: chunked\r\n\r\n"
# Answers that last: a head, then a piece every so many seconds (0: as fast as
# the client takes it) until the client closes the connection.
LASTING = {
    "trickle": (OK + b"Content-Length: %d\r\n\r\n" % (1 << 20), b"<", 0.2),
    "endless": (OK + b"\r\n", b"<" * 16384, 0),
    "big-endless": (OK + b"Content-Length: %d\r\n\r\n" % (1 << 30), b"x" * 16384, 0),
    "404-endless": (b"HTTP/1.1 404 Not Found\r\n\r\n", b"<p>Not found</p>" * 1024, 0),
    "endless-header": (OK + b"X-Filler: ", b"x" * 16384, 0),
    "slow-header": (OK + b"X-Filler: ", b"x", 0.1),
    "endless-headers": (OK, b"X-Filler: 0123456789abcdef\r\n" * 512, 0),
    # Chunked bodies whose framing never ends: nothing of it reaches the page.
    "chunk-extension": (CHUNKED + b"10;x=", b"x" * 16384, 0),
    "chunk-trailer": (CHUNKED + b"5\r\nhello\r\n0\r\nX-Trailer: ", b"x" * 16384, 0),
    "silent": (b"", b"", 600),  # not a byte
}


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def file_bytes(self, path):
        path = urllib.parse.unquote(path)
        full = os.path.abspath(os.path.join(ROOT, path.lstrip("/")))
        if not full.startswith(ROOT + os.sep) or not os.path.isfile(full):
            return None
        with open(full, "rb") as f:
            return f.read()

    def stream(self, head, piece, every):
        os.write(1, b"OPEN %s\n" % self.path.encode())
        self.close_connection = True
        end = time.monotonic() + 600  # a client that stays is left after ten minutes
        try:
            self.connection.sendall(head)
            # The client sends nothing after its request: readable means closed.
            while not select.select([self.connection], [], [], every)[0] or self.connection.recv(1, socket.MSG_PEEK):
                if time.monotonic() > end:
                    return
                self.connection.sendall(piece)
        except OSError:
            pass  # reset by the client: closed as well
        os.write(1, b"CLOSED %s\n" % self.path.encode())

    def answer(self, status, body, length=None):
        self.send_response(status)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(body) if length is None else length))
        self.end_headers()
        self.wfile.write(body)
        self.wfile.flush()

    def do_GET(self):
        path = self.path.split("?", 1)[0]
        mode, _, rest = path.lstrip("/").partition("/")
        if mode in ("404", "500"):
            code = int(mode)
            self.answer(code, b"<html><head><title>Version 9.9</title></head><body>Error %d</body></html>" % code)
        elif mode == "slow":
            time.sleep(30)
        elif mode == "malformed":
            self.wfile.write(b"this is no answer of a web server\r\n\r\n\x00\x01\x02")
            self.wfile.flush()
            self.close_connection = True
        elif mode == "cut":
            body = self.file_bytes(rest) or b"x" * 64
            half = body[: max(1, len(body) // 2)]
            self.answer(200, half, length=len(body) * 2)
            self.close_connection = True
        elif mode == "empty":
            self.answer(200, b"")
        elif mode == "big":
            self.answer(200, b"[General]\n" + b"x" * (5 * 1024 * 1024))
        elif mode == "nolength":
            self.send_response(200)
            self.end_headers()
            try:
                self.wfile.write(b"<" * (5 * 1024 * 1024))
                time.sleep(60)
            except OSError:
                pass  # the client gave up
        elif mode == "206":
            body = self.file_bytes(rest) or b"x" * 64
            half = body[: max(1, len(body) // 2)]
            self.send_response(206)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Content-Range", "bytes 0-%d/%d" % (len(half) - 1, len(body)))
            self.send_header("Content-Length", str(len(half)))
            self.end_headers()
            self.wfile.write(half)
            self.wfile.flush()
        elif mode in ("redirect", "loop", "downgrade"):
            self.send_response(302)
            where = {"redirect": "/" + rest, "loop": self.path}
            self.send_header("Location", where.get(mode, "http://%s/%s" % (self.headers["Host"], rest)))
            self.send_header("Content-Length", "0")
            self.end_headers()
            self.wfile.flush()
        elif mode == "chunked":
            body = b"x" * int(rest)
            pieces = [body[at : at + 65536] for at in range(0, len(body), 65536)] + [b""]
            self.wfile.write(CHUNKED + b"".join(b"%x\r\n%s\r\n" % (len(p), p) for p in pieces))
        elif mode in LASTING:
            self.stream(*LASTING[mode])
        elif mode == "html":
            self.answer(200, b"<html><head><title>Welcome</title></head><body>Not a language file</body></html>")
        else:
            body = self.file_bytes(path)
            if body is None:
                self.answer(404, b"<html><body>Not found</body></html>")
            else:
                self.answer(200, body)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    tls = None  # with a certificate: https on the same port

    def finish_request(self, request, client_address):
        if self.tls and request.recv(1, socket.MSG_PEEK) == b"\x16":  # a TLS handshake: https
            with self.tls.wrap_socket(request, server_side=True) as connection:
                return super().finish_request(connection, client_address)
        super().finish_request(request, client_address)

    def handle_error(self, request, client_address):
        if not isinstance(sys.exc_info()[1], ConnectionError):  # clients hang up on purpose
            super().handle_error(request, client_address)


def main():
    server = Server(("127.0.0.1", 0), Handler)
    if len(sys.argv) > 2:  # a certificate and its key after the folder
        server.tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        server.tls.load_cert_chain(*sys.argv[2:4])
    threading.Thread(target=server.serve_forever, daemon=True).start()
    print("PORT %d" % server.server_address[1], flush=True)
    sys.stdin.read()  # the test closes it, or ends
    server.shutdown()


if __name__ == "__main__":
    main()
