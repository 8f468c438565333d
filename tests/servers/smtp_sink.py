#!/usr/bin/python3
"""A local SMTP server for the tests: stores every message it accepts, byte
for byte as received (dot-stuffing removed), as NNNNN.eml in a folder, with
its envelope in NNNNN.json beside it. Prints "PORT <n>" once it listens and
stops on SIGTERM."""

import argparse
import itertools
import json
import os
import signal
import socket
import sys
import threading
import time

from aiosmtpd.controller import Controller


class StoreHandler:
    def __init__(self, folder):
        self.folder = folder
        self.counter = itertools.count(1)
        self.lock = threading.Lock()

    async def handle_DATA(self, server, session, envelope):
        with self.lock:
            n = next(self.counter)
        base = os.path.join(self.folder, "%05d" % n)
        envelope_info = {"mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos}
        with open(base + ".json.tmp", "w", encoding="utf-8") as f:
            json.dump(envelope_info, f)
        os.rename(base + ".json.tmp", base + ".json")
        # Written under a temporary name, so a reader never sees half a message.
        with open(base + ".eml.tmp", "wb") as f:
            f.write(envelope.original_content)
        os.rename(base + ".eml.tmp", base + ".eml")
        return "250 OK stored"


def free_port(host):
    family = socket.AF_INET6 if ":" in host else socket.AF_INET
    with socket.socket(family, socket.SOCK_STREAM) as s:
        s.bind((host, 0))
        return s.getsockname()[1]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--host", default="127.0.0.1")
    args = parser.parse_args()
    os.makedirs(args.dir, exist_ok=True)

    handler = StoreHandler(args.dir)
    controller = None
    for _ in range(5):
        port = args.port or free_port(args.host)
        controller = Controller(handler, hostname=args.host, port=port,
                                server_hostname="localhost", data_size_limit=0)
        try:
            controller.start()
            break
        except Exception:  # the port was taken meanwhile: try another
            controller = None
            if args.port:
                raise
            time.sleep(0.05)
    if controller is None:
        sys.exit("could not start the SMTP server")

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    print("PORT %d" % port, flush=True)
    while not stop.wait(0.2):
        pass
    controller.stop()


if __name__ == "__main__":
    main()
