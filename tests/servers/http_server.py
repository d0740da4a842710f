#!/usr/bin/env python3
"""A small HTTP/1.1 server for the fetch tests, standard library only.

Listens on 127.0.0.1, or the loopback address of --host (port 0 picks a free
one), and prints "PORT <n>" as its first line. With --cert and --key it speaks
TLS. Every request is appended raw to the --log file, followed by a line
"=== end ===". With --exit-on-eof it ends when its stdin closes.

It parses requests itself, so a test sees the bytes exactly as sent and the
server can answer with malformed or hostile replies on purpose. The routes:

  /echo                 200, the raw request as text/plain
  /page?body=T&ct=C     200 with body T (default a small HTML page) and
                        Content-Type C (default text/html)
  /file?name=N&ct=C     200 with the file N of --root, with Content-Type C
                        (default text/html)
  /site/D/N             the file N as /file gives it, under any folders D
  /status?code=N        reply N with a one-line body; with line=L the status
                        line reads "HTTP/1.1 " + L
  /redirect?to=U&code=N redirect (default 302) to U; with cookie=V it also
                        sets the cookie V
  /loop?n=K             redirect to /loop?n=K+1, forever
  /setcookie?c=V&c=W&to=U  sets each V as a Set-Cookie header, then 200 or a
                        redirect to U
  /manycookies?n=K      K distinct Set-Cookie headers
  /conn                 200, the number of the connection (1, 2, ...)
  /hang                 reads the request and never answers
  /slowbody             headers and part of the body, then silence
  /closemid             Content-Length 1000, 10 bytes, then close
  /badchunk             a chunked body with a malformed chunk size
  /bigheader            a header line of 1 MB
  /big?mb=N             an N MB body with Content-Length, in lines of 100
  /endless              a chunked body that never ends
  /nul                  a body with a NUL byte
  /close                closes without answering
  /raw?r=B              the bytes B as the whole reply, then close
  /reset                resets the connection without answering
"""
import os
import socket
import socketserver
import ssl
import struct
import sys
import threading
import time
import urllib.parse

sys.dont_write_bytecode = True  # no cache files in the source tree
import loopback  # noqa: E402

LOG_LOCK = threading.Lock()
CONN_LOCK = threading.Lock()
CONN_COUNT = 0

SMALL_PAGE = (b"<html><head><title>Test</title></head><body>\n"
              b"<p>Hallo Welt</p>\n<a href=\"/echo\">Echo</a>\n</body></html>\n")


class Handler(socketserver.BaseRequestHandler):
    def setup(self):
        global CONN_COUNT
        with CONN_LOCK:
            CONN_COUNT += 1
            self.conn_no = CONN_COUNT
        if self.server.tls:
            # The handshake runs on the connection's own thread, so a client
            # that fails it holds up no one else.
            self.request.settimeout(10)
            self.request = self.server.tls.wrap_socket(self.request, server_side=True)
            self.request.settimeout(None)
        self.rfile = self.request.makefile("rb")

    def send(self, status, headers=(), body=b"", close=False):
        head = ["HTTP/1.1 %s" % status]
        head += ["%s: %s" % h for h in headers]
        head.append("Content-Length: %d" % len(body))
        if close:
            head.append("Connection: close")
        data = ("\r\n".join(head) + "\r\n\r\n").encode("latin-1") + body
        self.request.sendall(data)
        return not close

    def read_request(self):
        raw = b""
        while True:
            line = self.rfile.readline(1 << 20)
            if not line:
                return None, None
            raw += line
            if line in (b"\r\n", b"\n"):
                break
        length = 0
        for line in raw.split(b"\r\n")[1:]:
            name, _, value = line.partition(b":")
            if name.strip().lower() == b"content-length":
                length = int(value.strip())
        body = self.rfile.read(length) if length else b""
        return raw, body

    def handle(self):
        while True:
            raw, body = self.read_request()
            if raw is None:
                return
            if self.server.log:
                with LOG_LOCK, open(self.server.log, "ab") as f:
                    f.write(raw + body + b"\n=== end ===\n")
            target = raw.split(b" ")[1].decode("latin-1")
            url = urllib.parse.urlsplit(target)
            query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
            name = url.path.strip("/")
            if name.startswith("site/"):
                name = "site"
            route = getattr(self, "route_" + name.replace("-", "_"), None)
            try:
                keep = route(query, raw, body) if route else self.send("404 Not Found", body=b"not found\n")
            except (BrokenPipeError, ConnectionResetError, ssl.SSLError):
                return
            if not keep:
                return

    def q(self, query, name, default=""):
        return query.get(name, [default])[0]

    def route_echo(self, query, raw, body):
        return self.send("200 OK", [("Content-Type", "text/plain")], raw + body)

    def route_page(self, query, raw, body):
        text = self.q(query, "body", None)
        data = SMALL_PAGE if text is None else text.encode("utf-8")
        return self.send("200 OK", [("Content-Type", self.q(query, "ct", "text/html"))], data)

    def route_largepage(self, query, raw, body):
        # A page of about n bytes: a link, filler, and a closing line.
        n = int(self.q(query, "n", "5000000"))
        filler = b"<p>" + b"Fuellzeile " * 9 + b"</p>\n"
        data = (b"<html><body><a href=\"/echo?von=gross\">Weiter</a>\n" + filler * (n // len(filler)) +
                b"<p id=\"ende\">Ende der grossen Seite</p></body></html>\n")
        return self.send("200 OK", [("Content-Type", "text/html")], data)

    def route_file(self, query, raw, body):
        path = os.path.join(self.server.root, os.path.basename(self.q(query, "name")))
        with open(path, "rb") as f:
            return self.send("200 OK", [("Content-Type", self.q(query, "ct", "text/html"))], f.read())

    def route_site(self, query, raw, body):
        # /site/any/folders/N: the file N of --root under a path of folders.
        path = urllib.parse.urlsplit(raw.split(b" ")[1].decode("latin-1")).path
        return self.route_file({"name": [path.rsplit("/", 1)[-1]]}, raw, body)

    def route_status(self, query, raw, body):
        line = self.q(query, "line", None)
        if line is not None:
            return self.send(line, [("Content-Type", "text/plain")], b"status body\n")
        code = int(self.q(query, "code", "404"))
        reasons = {204: "No Content", 201: "Created", 404: "Not Found", 500: "Internal Server Error",
                   301: "Moved Permanently", 302: "Found", 200: "OK"}
        if code == 204:
            self.request.sendall(b"HTTP/1.1 204 No Content\r\n\r\n")
            return True
        return self.send("%d %s" % (code, reasons.get(code, "Status")), [("Content-Type", "text/plain")],
                         b"status body\n")

    def route_redirect(self, query, raw, body):
        code = int(self.q(query, "code", "302"))
        headers = [("Location", self.q(query, "to"))]
        for c in query.get("cookie", []):
            headers.append(("Set-Cookie", c))
        return self.send("%d Found" % code, headers, b"moved\n")

    def route_loop(self, query, raw, body):
        n = int(self.q(query, "n", "0"))
        return self.send("302 Found", [("Location", "/loop?n=%d" % (n + 1))], b"")

    def route_setcookie(self, query, raw, body):
        headers = [("Set-Cookie", c) for c in query.get("c", [])]
        to = self.q(query, "to")
        if to:
            return self.send("302 Found", headers + [("Location", to)], b"")
        return self.send("200 OK", headers + [("Content-Type", "text/html")], b"<p>cookies set</p>\n")

    def route_manycookies(self, query, raw, body):
        n = int(self.q(query, "n", "1000"))
        headers = [("Set-Cookie", "k%d=v%d" % (i, i)) for i in range(n)]
        return self.send("200 OK", headers + [("Content-Type", "text/html")], b"<p>many</p>\n")

    def route_conn(self, query, raw, body):
        return self.send("200 OK", [("Content-Type", "text/plain")], str(self.conn_no).encode())

    def route_hang(self, query, raw, body):
        time.sleep(30)
        return False

    def route_slowbody(self, query, raw, body):
        self.request.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 100\r\n\r\nabc")
        time.sleep(30)
        return False

    def route_closemid(self, query, raw, body):
        self.request.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 1000\r\n\r\n0123456789")
        return False

    def route_badchunk(self, query, raw, body):
        self.request.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nTransfer-Encoding: chunked\r\n\r\n"
                             b"5\r\nhallo\r\nzz-not-hex\r\nxxxx\r\n0\r\n\r\n")
        return False

    def route_bigheader(self, query, raw, body):
        self.request.sendall(b"HTTP/1.1 200 OK\r\nX-Big: " + b"a" * (1 << 20) +
                             b"\r\nContent-Length: 2\r\n\r\nok")
        return False

    def route_big(self, query, raw, body):
        mb = int(self.q(query, "mb", "50"))
        line = b"x" * 99 + b"\n"
        block = line * 10486  # about 1 MB
        total = len(block) * mb
        self.request.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: %d\r\n\r\n" % total)
        for _ in range(mb):
            self.request.sendall(block)
        return True

    def route_endless(self, query, raw, body):
        self.request.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nTransfer-Encoding: chunked\r\n\r\n")
        chunk = b"y" * 65536
        piece = b"%x\r\n" % len(chunk) + chunk + b"\r\n"
        while True:
            self.request.sendall(piece)

    def route_nul(self, query, raw, body):
        return self.send("200 OK", [("Content-Type", "text/html")], b"vor\nder\x00nach\n")

    def route_close(self, query, raw, body):
        return False

    def route_raw(self, query, raw, body):
        self.request.sendall(self.q(query, "r").encode("latin-1"))
        return False

    def route_reset(self, query, raw, body):
        self.request.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.request.close()  # now, before the server's orderly shutdown
        return False


class Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, args):
        if not args.host.startswith("127."):
            raise SystemExit("loopback addresses only")
        super().__init__((args.host, args.port), Handler)
        self.log = args.log
        self.root = args.root
        self.tls = None
        if args.cert:
            self.tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            self.tls.load_cert_chain(args.cert, args.key)

    def handle_error(self, request, client_address):
        pass  # a client that went away is not the server's problem


def main():
    parser = loopback.parser()
    parser.add_argument("--log", default="")
    parser.add_argument("--root", default=".")
    parser.add_argument("--cert", default="")
    parser.add_argument("--key", default="")
    args = parser.parse_args()
    loopback.serve(Server(args), args.exit_on_eof)


if __name__ == "__main__":
    main()
