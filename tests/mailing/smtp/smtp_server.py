#!/usr/bin/python3
"""Loopback SMTP server for the mail tests, and a parser of received messages.

Serve:  smtp_server.py --port N --out DIR [--host 127.0.0.1]
                       [--tls-cert CERT --tls-key KEY [--implicit-tls]]
                       [--auth-user USER --auth-password PASSWORD]
                       [--refuse ADDRESS ...] [--refuse-data] [--defer-data N]
                       [--hold-data N [--release-data]] [--lose-reply N] [--at-quit drop|hold]
                       [--lifetime SECONDS]
        Prints "READY <port>" once it accepts connections. Every message received goes to
        DIR as <n>.eml (the raw data) and <n>.json (envelope and parsed content, see describe()).
        With a certificate the server requires STARTTLS, or speaks TLS from the start with
        --implicit-tls. A login attempt touches DIR/auth. --refuse makes RCPT for that address fail with 550, --refuse-data
        turns every message down with 554 after its data, --defer-data answers the first N
        messages with 451 (try again later) after their data. --hold-data stores the first N
        messages but keeps back the reply to their data until the client goes away (with
        --release-data: until the file DIR/release exists, then answers it);
        --lose-reply stores the first N messages and drops the connection instead of replying
        to their data. At QUIT
        the server touches DIR/quit, then answers it, or with --at-quit drops the connection
        without an answer (drop) or never answers (hold). Stops on SIGTERM/SIGINT, when its
        parent goes away, or after --lifetime.

Parse:  smtp_server.py --parse FILE
        Prints the JSON description of one message file (for example from a Maildir).
"""

import argparse
import asyncio
import base64
import email
import email.policy
import email.utils
import json
import logging
import os
import signal
import ssl
import sys
import threading
import time

LOOPBACK = {"127.0.0.1", "::1", "localhost"}
# Long enough to outlive any client; the wait ends when the client goes away.
HELD_SECONDS = 3600


def describe(raw):
    """Parses raw message bytes the way a mail reader would."""
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    result = {
        "headers": [[name, str(value)] for name, value in msg.items()],
        "raw_headers": [[name, value] for name, value in msg.raw_items()],
        "subject": str(msg.get("Subject", "")),
        "from": str(msg.get("From", "")),
        "to": str(msg.get("To", "")),
        "content_type": msg.get_content_type(),
        "defects": [repr(d) for d in msg.defects],
        "date": "",
        "body": None,
        "body_charset": None,
        "body_content_type": None,
        "attachments": [],
        "structure": [],
        "parts": [],
    }
    try:
        result["date"] = email.utils.parsedate_to_datetime(msg["Date"]).isoformat()
    except (TypeError, ValueError):
        pass
    # Every part in order, nested ones indented by two blanks a level ("structure"), and
    # every leaf with its headers and content ("parts").
    def outline(part, depth):
        result["structure"].append("  " * depth + part.get_content_type())
        if part.is_multipart():
            for child in part.iter_parts():
                outline(child, depth + 1)
            return
        payload = part.get_payload(decode=True) or b""
        result["parts"].append({
            "content_type": part.get_content_type(),
            "disposition": part.get_content_disposition(),
            "content_id": part.get("Content-ID"),
            "filename": part.get_filename(),
            "charset": part.get_content_charset(),
            "text": part.get_content() if part.get_content_maintype() == "text" else None,
            "data": base64.b64encode(payload).decode("ascii"),
        })
    outline(msg, 0)
    for part in msg.walk():
        if part.is_multipart():
            continue
        result["defects"] += [repr(d) for d in part.defects]
        if part.get_content_disposition() == "attachment":
            result["attachments"].append({
                "filename": part.get_filename(),
                "content_type": part.get_content_type(),
                "charset": part.get_content_charset(),
                "data": base64.b64encode(part.get_payload(decode=True)).decode("ascii"),
            })
        elif result["body"] is None:
            result["body"] = part.get_content()
            result["body_charset"] = part.get_content_charset()
            result["body_content_type"] = part.get_content_type()
    return result


def write_atomically(path, data):
    with open(path + ".part", "wb") as f:
        f.write(data)
    os.replace(path + ".part", path)


class Handler:
    def __init__(self, out_dir, refused, refuse_data, defer_data=0, hold_data=0, lose_reply=0,
                 at_quit=None, release_data=False):
        self.out_dir = out_dir
        self.refused = {a.lower() for a in refused}
        self.refuse_data = refuse_data
        self.defer_data = defer_data
        self.hold_data = hold_data
        self.lose_reply = lose_reply
        self.at_quit = at_quit
        self.release_data = release_data
        self.count = 0
        self.lock = threading.Lock()

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower() in self.refused:
            return "550 5.1.1 <%s>: Recipient address rejected: mailbox unavailable" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        if self.refuse_data:
            return "554 5.6.0 Message content rejected"
        with self.lock:
            if self.defer_data > 0:
                self.defer_data -= 1
                return "451 4.3.0 Temporary local problem, try again later"
        raw = envelope.original_content or envelope.content
        with self.lock:
            self.count += 1
            n = self.count
        info = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "tls": server.transport.get_extra_info("ssl_object") is not None,
            "authenticated": bool(session.authenticated),
            "message": describe(raw),
        }
        base = os.path.join(self.out_dir, "%d" % n)
        write_atomically(base + ".eml", raw)
        write_atomically(base + ".json", json.dumps(info, ensure_ascii=False).encode("utf-8"))
        with self.lock:
            hold = self.hold_data > 0
            self.hold_data -= int(hold)
            lose = self.lose_reply > 0
            self.lose_reply -= int(lose)
        if lose:
            server.transport.abort()
        if hold and self.release_data:
            while not os.path.exists(os.path.join(self.out_dir, "release")):
                await asyncio.sleep(0.05)
        elif hold or lose:
            await asyncio.sleep(HELD_SECONDS)
        return "250 2.0.0 Message accepted"

    async def handle_QUIT(self, server, session, envelope):
        write_atomically(os.path.join(self.out_dir, "quit"), b"")
        if self.at_quit == "drop":
            server.transport.abort()
        if self.at_quit in ("drop", "hold"):
            await asyncio.sleep(HELD_SECONDS)
        return "221 Bye"


def make_authenticator(user, password, out_dir):
    from aiosmtpd.smtp import AuthResult, LoginPassword

    def authenticate(server, session, envelope, mechanism, auth_data):
        # What crossed the wire: a test tells a login that was never sent.
        write_atomically(os.path.join(out_dir, "auth"), b"")
        ok = (isinstance(auth_data, LoginPassword)
              and auth_data.login == user.encode("utf-8")
              and auth_data.password == password.encode("utf-8"))
        return AuthResult(success=ok, handled=False)

    return authenticate


def serve(args):
    from aiosmtpd.controller import Controller

    logging.getLogger("mail.log").setLevel(logging.ERROR)
    if args.host not in LOOPBACK:
        sys.exit("only loopback addresses are served")
    os.makedirs(args.out, exist_ok=True)
    handler = Handler(args.out, args.refuse, args.refuse_data, args.defer_data, args.hold_data,
                      args.lose_reply, args.at_quit, args.release_data)
    params = {"hostname": args.host, "port": args.port, "server_hostname": "kalvent-test"}
    if args.tls_cert:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.tls_cert, args.tls_key)
        if args.implicit_tls:
            params["ssl_context"] = context
        else:
            params["tls_context"] = context
            params["require_starttls"] = True
    if args.auth_user:
        params["authenticator"] = make_authenticator(args.auth_user, args.auth_password or "",
                                                     args.out)
        params["auth_required"] = True
        params["auth_require_tls"] = bool(args.tls_cert)
    controller = Controller(handler, **params)
    controller.start()
    print("READY %d" % args.port, flush=True)

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    parent = os.getppid()
    deadline = time.monotonic() + args.lifetime
    while not stop.wait(0.2):
        if os.getppid() != parent or time.monotonic() > deadline:
            break
    controller.stop()


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--parse", metavar="FILE")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int)
    parser.add_argument("--out")
    parser.add_argument("--tls-cert")
    parser.add_argument("--tls-key")
    parser.add_argument("--implicit-tls", action="store_true")
    parser.add_argument("--auth-user")
    parser.add_argument("--auth-password")
    parser.add_argument("--refuse", action="append", default=[], metavar="ADDRESS")
    parser.add_argument("--refuse-data", action="store_true")
    parser.add_argument("--defer-data", type=int, default=0, metavar="N")
    parser.add_argument("--hold-data", type=int, default=0, metavar="N")
    parser.add_argument("--release-data", action="store_true")
    parser.add_argument("--lose-reply", type=int, default=0, metavar="N")
    parser.add_argument("--at-quit", choices=["drop", "hold"])
    parser.add_argument("--lifetime", type=float, default=300)
    args = parser.parse_args()
    if args.parse:
        with open(args.parse, "rb") as f:
            json.dump(describe(f.read()), sys.stdout, ensure_ascii=False)
        return
    if not args.port or not args.out:
        parser.error("--port and --out are required to serve")
    if bool(args.tls_cert) != bool(args.tls_key):
        parser.error("--tls-cert and --tls-key go together")
    serve(args)


if __name__ == "__main__":
    main()
