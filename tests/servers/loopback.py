"""Start-up shared by the local servers of the tests and the demo.

A server listens on 127.0.0.1 or another loopback address of --host (port 0
picks a free one), prints "PORT <n>"
as its first line, and with --exit-on-eof ends when its stdin closes, so it
never outlives the test or script that started it.
"""
import argparse
import os
import sys
import threading


def parser(description=None):
    """An argument parser with --host, --port and --exit-on-eof."""
    p = argparse.ArgumentParser(description=description)
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--host", default="127.0.0.1", help="a loopback address: a second site beside the first")
    p.add_argument("--exit-on-eof", action="store_true",
                   help="end when stdin closes (whoever started the server is gone)")
    return p


def serve(server, exit_on_eof):
    """Announces the server's port and serves until stopped."""
    print("PORT %d" % server.server_address[1], flush=True)
    if exit_on_eof:
        def watch():
            sys.stdin.buffer.read()
            os._exit(0)
        threading.Thread(target=watch, daemon=True).start()
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
