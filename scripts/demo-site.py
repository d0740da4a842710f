#!/usr/bin/env python3
"""The demo site of skripte/demo.skl, served on the loopback interface.

Serves the pages of skripte/demo-site and answers the order form posted to
/bestellung. Prints "PORT <n>" as its first line (port 0 picks a free one);
with --exit-on-eof it ends when its stdin closes. Standard library only.
"""
import html
import http.server
import os
import sys
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "..", "skripte", "demo-site")
# The start-up it shares with the test servers.
sys.path.insert(0, os.path.join(HERE, "..", "tests", "servers"))
sys.dont_write_bytecode = True  # no cache files in the source tree
import loopback  # noqa: E402

NAMES = {"kaffee": "Kaffee", "broetchen": "Brötchen", "block": "Notizblock"}


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {".html": "text/html; charset=utf-8", "": "application/octet-stream"}

    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=ROOT, **kwargs)

    def log_message(self, format, *args):
        pass

    def do_POST(self):
        if urllib.parse.urlsplit(self.path).path != "/bestellung":
            self.send_error(404)
            return
        length = int(self.headers.get("Content-Length", "0"))
        # The form's page is UTF-8, so its values come in UTF-8, escaped, as
        # a browser sends them.
        form = urllib.parse.parse_qs(self.rfile.read(length).decode("ascii", errors="replace"),
                                     keep_blank_values=True, encoding="utf-8", errors="replace")
        name = form.get("name", [""])[0].strip() or "Unbekannt"
        artikel = NAMES.get(form.get("artikel", [""])[0], "?")
        menge = form.get("menge", ["1"])[0]
        geschenk = " als Geschenk" if form.get("geschenk") else ""
        body = ('<!DOCTYPE html><html><head><meta charset="utf-8"><title>Bestellung</title></head><body>'
                '<h1>Bestellung eingegangen</h1><p class="ergebnis">Danke, %s: %s x %s%s bestellt.</p>'
                '<p><a href="/index.html">Zurück zur Startseite</a></p></body></html>'
                % (html.escape(name), html.escape(menge), artikel, geschenk)).encode("utf-8")
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


def main():
    args = loopback.parser().parse_args()
    Handler.protocol_version = "HTTP/1.1"
    server = http.server.ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    server.daemon_threads = True
    loopback.serve(server, args.exit_on_eof)


if __name__ == "__main__":
    main()
