#!/usr/bin/env python3
"""A local FTP server for the tests.

  ftp_server.py --root DIR --user NAME --password PW   one user with full rights on DIR
  ftp_server.py --silent                               accepts connections and never greets

Listens on 127.0.0.1 on a free port, prints "PORT <n>" on one line once it
accepts connections, and runs until it is killed or its stdin closes.
"""
import argparse
import socket
import sys
import threading


def watch_stdin():
    # The test holds our stdin open; when it goes away, so do we.
    try:
        sys.stdin.read()
    finally:
        import os
        os._exit(0)


def silent():
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.bind(("127.0.0.1", 0))
    sock.listen(8)
    print("PORT %d" % sock.getsockname()[1], flush=True)
    held = []
    while True:
        conn, _ = sock.accept()
        held.append(conn)  # kept open, never written to


def ftp(root, user, password):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer
    import logging

    logging.basicConfig(level=logging.CRITICAL)
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.passive_ports = None
    # A refused login is answered at once; the default pause only slows tests.
    handler.auth_failed_timeout = 0
    server = FTPServer(("127.0.0.1", 0), handler)
    print("PORT %d" % server.address[1], flush=True)
    server.serve_forever()


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--root")
    p.add_argument("--user", default="user")
    p.add_argument("--password", default="secret")
    p.add_argument("--silent", action="store_true")
    p.add_argument("--exit-on-eof", action="store_true")  # always: see watch_stdin
    a = p.parse_args()
    threading.Thread(target=watch_stdin, daemon=True).start()
    if a.silent:
        silent()
    else:
        ftp(a.root, a.user, a.password)


if __name__ == "__main__":
    main()
