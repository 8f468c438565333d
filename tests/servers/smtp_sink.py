#!/usr/bin/python3
"""A local SMTP server for the tests: stores every message it accepts, byte
for byte as received (dot-stuffing removed), as NNNNN.eml in a folder, with
its envelope and what a mail reader sees of it (parse_mail.py) in
NNNNN.json beside it. Prints "PORT <n>" once it listens and
stops on SIGTERM."""

import argparse
import itertools
import json
import os
import signal
import socket
import ssl
import sys
import threading
import time

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

import parse_mail


class StoreHandler:
    def __init__(self, folder):
        self.folder = folder
        self.counter = itertools.count(1)
        self.lock = threading.Lock()

    async def handle_DATA(self, server, session, envelope):
        with self.lock:
            n = next(self.counter)
        base = os.path.join(self.folder, "%05d" % n)
        try:
            envelope_info = parse_mail.parse(envelope.original_content)
        except Exception as e:  # the test says what could not be read
            envelope_info = {"error": repr(e)}
        envelope_info.update(mail_from=envelope.mail_from, rcpt_tos=envelope.rcpt_tos)
        with open(base + ".json.tmp", "w", encoding="utf-8") as f:
            json.dump(envelope_info, f)
        os.rename(base + ".json.tmp", base + ".json")
        # Written under a temporary name, so a reader never sees half a message.
        with open(base + ".eml.tmp", "wb") as f:
            f.write(envelope.original_content)
        os.rename(base + ".eml.tmp", base + ".eml")
        return "250 OK stored"


def make_authenticator(user, password):
    """Accepts the one user with the one password, by PLAIN or LOGIN."""
    def authenticate(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword)
              and auth_data.login == user.encode() and auth_data.password == password.encode())
        return AuthResult(success=ok, handled=False)
    return authenticate


def server_options(args):
    """Controller arguments for --tls and --auth-user."""
    options = {}
    if args.tls != "none":
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.cert, args.key)
        if args.tls == "starttls":
            options.update(tls_context=context, require_starttls=True)
        else:
            options.update(ssl_context=context)
    if args.auth_user:
        options.update(authenticator=make_authenticator(args.auth_user, args.auth_pass),
                       auth_required=True,
                       # Implicit TLS is not seen as TLS by this check; it is encrypted all the same.
                       auth_require_tls=args.tls == "starttls")
    return options


def free_port(host):
    family = socket.AF_INET6 if ":" in host else socket.AF_INET
    with socket.socket(family, socket.SOCK_STREAM) as s:
        s.bind((host, 0))
        return s.getsockname()[1]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--tls", choices=["none", "starttls", "tls"], default="none",
                        help="starttls: STARTTLS required before MAIL; tls: TLS from the connect")
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--auth-user", help="require AUTH (PLAIN or LOGIN) as this user")
    parser.add_argument("--auth-pass", default="")
    args = parser.parse_args()
    os.makedirs(args.dir, exist_ok=True)

    handler = StoreHandler(args.dir)
    controller = None
    for _ in range(5):
        port = free_port(args.host)
        controller = Controller(handler, hostname=args.host, port=port,
                                server_hostname="localhost", data_size_limit=0,
                                **server_options(args))
        try:
            controller.start()
            break
        except Exception:  # the port was taken meanwhile: try another
            controller = None
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
