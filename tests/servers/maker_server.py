#!/usr/bin/env python3
"""A stand-in for the program maker's download server, standard library only.

Prints "PORT <n>" as its first line (see loopback.py). Routes:

  /cgi-bin/download/download.cgi?...getversion=1   200, the --version text
  /cgi-bin/download/download.cgi?...               302 to /files/installer
  /files/installer                                 200, the --installer file
  /php/browser.php                                 200, a form whose first field
                                                   holds the request's User-Agent
  anything else                                    404

Every request line is appended to the --log file.
"""
import html
import http.server
import sys
import urllib.parse

sys.dont_write_bytecode = True  # no cache files in the source tree
import loopback  # noqa: E402


class Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def reply(self, code, body, headers=()):
        self.send_response(code)
        for k, v in headers:
            self.send_header(k, v)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        if self.server.log:
            with open(self.server.log, "a") as f:
                f.write(self.path + "\n")
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query)
        if url.path == "/cgi-bin/download/download.cgi":
            if query.get("getversion") == ["1"]:
                self.reply(200, self.server.version.encode("latin-1"), [("Content-Type", "text/plain")])
            else:
                self.reply(302, b"", [("Location", "/files/installer")])
        elif url.path == "/php/browser.php":
            agent = html.escape(self.headers.get("User-Agent", ""), quote=True)
            page = ('<html><body><form action="/php/browser.php" method="get">'
                    '<input type="text" name="ua" size="80" value="%s">'
                    '<input type="submit" value="OK"></form></body></html>' % agent)
            self.reply(200, page.encode("utf-8"), [("Content-Type", "text/html; charset=utf-8")])
        elif url.path == "/files/installer" and self.server.installer:
            with open(self.server.installer, "rb") as f:
                self.reply(200, f.read(), [("Content-Type", "application/octet-stream")])
        else:
            self.reply(404, b"not found\n")


def main():
    p = loopback.parser(__doc__)
    p.add_argument("--version", default="a-1_08_20.b\n")
    p.add_argument("--installer", default="")
    p.add_argument("--log", default="")
    args = p.parse_args()
    server = http.server.ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    server.version = args.version.replace("\\n", "\n")
    server.installer = args.installer
    server.log = args.log
    loopback.serve(server, args.exit_on_eof)


if __name__ == "__main__":
    main()
