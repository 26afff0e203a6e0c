#!/usr/bin/python3
"""A real FTP server for the FTP tests: one user with a temporary root, on 127.0.0.1 and a free
port it prints as "PORT <n>". It ends when its standard input closes (the test, or the test
program, went away) or after --lifetime seconds, whichever comes first.

Two kinds of file fail on purpose when fetched: a file named "abort-..." sends its first KiB and
then breaks off with "426" (as a server whose disk fails does), and one named "stall-..." sends
its first KiB and then nothing more while it keeps both connections open.

With --launcher it serves tests that cannot start a Linux program themselves (the Windows tests
under Wine): it prints "PORT <n>" for itself, and for every connection it takes it makes a fresh
root, writes "ROOT <path>" and "LOG <path>" into the connection and starts a server as above whose
standard input and output are that connection: the server's "PORT <n>" follows, and closing the
connection ends that server."""

import argparse
import errno
import logging
import os
import select
import shutil
import socket
import subprocess
import sys
import tempfile
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def launcher(args):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    sys.stdout.write("PORT %d\n" % listener.getsockname()[1])
    sys.stdout.flush()
    children = []  # (process, folder)
    deadline = time.monotonic() + args.lifetime
    while time.monotonic() < deadline:
        ready, _, _ = select.select([listener], [], [], 0.2)
        if ready:
            connection, _ = listener.accept()
            folder = tempfile.mkdtemp(prefix="spylerom-ftp-")
            root = os.path.join(folder, "root")
            os.mkdir(root)
            log = os.path.join(folder, "commands.log")
            connection.sendall(("ROOT %s\nLOG %s\n" % (root, log)).encode())
            child = subprocess.Popen([sys.executable, os.path.abspath(__file__), "--root", root, "--user", args.user,
                                      "--password", args.password, "--log", log, "--lifetime", "600"],
                                     stdin=connection.fileno(), stdout=connection.fileno())
            connection.close()
            children.append((child, folder))
        for child, folder in [c for c in children if c[0].poll() is not None]:
            shutil.rmtree(folder, ignore_errors=True)
            children.remove((child, folder))
    for child, folder in children:
        child.kill()
        child.wait()
        shutil.rmtree(folder, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--launcher", action="store_true")
    parser.add_argument("--root")
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--lifetime", type=float, default=300.0)
    parser.add_argument("--log", default=None, help="file that receives every command the server takes")
    args = parser.parse_args()
    logging.basicConfig(level=logging.WARNING)
    if args.launcher:
        return launcher(args)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")

    log = open(args.log, "a", buffering=1) if args.log else None

    class Handler(FTPHandler):
        auth_failed_timeout = 0.05
        timeout = 60

        def pre_process_command(self, line, cmd, arg):
            if log:
                log.write((line if cmd != "PASS" else "PASS ****") + "\n")
            return super().pre_process_command(line, cmd, arg)

        def ftp_RETR(self, file):
            name = os.path.basename(file)
            if self.data_channel is None or not name.startswith(("abort-", "stall-")):
                return super().ftp_RETR(file)
            with open(file, "rb") as f:
                first = f.read(1024)
            self.respond("125 Data connection already open. Transfer starting.")
            self.data_channel.push(first)
            if name.startswith("abort-"):
                channel = self.data_channel

                def abort():  # what a read error half-way does: the data connection closes, then 426
                    if not channel._closed:
                        channel._resp = ("426 %s; transfer aborted." % os.strerror(errno.EIO), logging.warning)
                        channel.close()

                self.ioloop.call_later(0.2, abort)
            return file

    Handler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", 0), Handler)
    server.max_cons = 16
    sys.stdout.write("PORT %d\n" % server.address[1])
    sys.stdout.flush()

    deadline = time.monotonic() + args.lifetime
    while time.monotonic() < deadline:
        server.ioloop.loop(timeout=0.05, blocking=False)
        ready, _, _ = select.select([sys.stdin], [], [], 0)
        if ready and not os.read(sys.stdin.fileno(), 1024):
            break
    server.close_all()


if __name__ == "__main__":
    main()
