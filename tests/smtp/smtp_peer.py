#!/usr/bin/env python3
"""A real SMTP server (aiosmtpd) for the mail client's tests.

Listens on 127.0.0.1 on a free port, prints "PORT <n>" once it accepts
connections, and writes into the folder given with --record:
  received.bin  every byte the client sent, in order (decrypted under TLS)
  message.eml   the content of each accepted message, as the server stored it
  decoded.txt   the last accepted message as a mail reader shows it (Python's
                email package decodes it): sender name and address, subject,
                then the body text
  closed        created when a client connection has ended

Modes: plain, auth (AUTH LOGIN without TLS), starttls (AUTH only after
STARTTLS, which is required), tls (implicit TLS), refuse-ehlo, no-login,
multiline, refuse-mail (553 to MAIL FROM), refuse-rcpt (550 for nobody@..., 451 for later@...), hold-data
(the reply to the final dot comes after --hold seconds), drop-data (the
connection is reset once message data arrives), tls-drop-data (the same under implicit TLS), huge-line,
no-line-end, silent.
The user "alice" with the password "s3cret" is accepted; others get 535.
"""

import argparse
import asyncio
import email
import email.policy
import logging
import os
import signal
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

USER = b"alice"
PASSWORD = b"s3cret"


def authenticate(server, session, envelope, mechanism, auth_data):
    ok = (isinstance(auth_data, LoginPassword)
          and auth_data.login == USER and auth_data.password == PASSWORD)
    return AuthResult(success=ok, handled=False)


class Handler:
    def __init__(self, mode, record, hold=0.0):
        self.mode = mode
        self.record = record
        self.hold = hold

    async def handle_MAIL(self, server, session, envelope, address, options):
        envelope.mail_from = address
        envelope.mail_options.extend(options)
        if self.mode == "multiline":
            return "250-Sender looks fine\r\n250-and is welcome\r\n250 OK"
        if self.mode == "refuse-mail":
            return "553 5.7.1 Sender address rejected"
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, options):
        if self.mode == "refuse-rcpt" and address.startswith("nobody@"):
            return "550 No such user"
        if self.mode == "refuse-rcpt" and address.startswith("later@"):
            return "451 4.2.0 Mailbox busy, try again later"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        with open(os.path.join(self.record, "message.eml"), "ab") as f:
            f.write(envelope.original_content)
        parsed = email.message_from_bytes(envelope.original_content, policy=email.policy.default)
        sender = parsed["From"].addresses[0]
        shown = (f"{sender.display_name} <{sender.addr_spec}>\n{parsed['Subject']}\n"
                 f"{parsed.get_content()}")
        with open(os.path.join(self.record, "decoded.txt"), "w", encoding="utf-8",
                  newline="") as f:
            f.write(shown)
        if self.mode == "multiline":
            return "250-Queued\r\n250 as 4711"
        if self.mode == "hold-data":
            # The message is stored; the reply to "." comes late.
            await asyncio.sleep(self.hold)
        return "250 Message accepted for delivery"


class RecordingSMTP(SMTP):
    def __init__(self, handler, mode, record, **kwargs):
        super().__init__(handler, **kwargs)
        self.mode = mode
        self.record = record
        self.in_data = False

    def _note(self, data):
        with open(os.path.join(self.record, "received.bin"), "ab") as f:
            f.write(data)

    def data_received(self, data):
        self._note(data)
        if self.mode.endswith("drop-data") and self.in_data:
            self.transport.abort()
            return
        super().data_received(data)

    def connection_lost(self, error):
        super().connection_lost(error)
        open(os.path.join(self.record, "closed"), "ab").close()

    async def smtp_EHLO(self, hostname):
        if self.mode == "refuse-ehlo":
            await self.push("502 5.5.2 EHLO not supported here")
            return
        await super().smtp_EHLO(hostname)

    async def smtp_DATA(self, arg):
        if self.mode.endswith("drop-data"):
            await self.push("354 End data with <CR><LF>.<CR><LF>")
            self.in_data = True
            return
        await super().smtp_DATA(arg)


class RawPeer(asyncio.Protocol):
    """Servers that break the protocol, below what aiosmtpd lets one do."""

    def __init__(self, mode, record):
        self.mode = mode
        self.record = record

    def connection_made(self, transport):
        self.transport = transport
        if self.mode == "huge-line":
            transport.write(b"220 " + b"x" * (10 * 1024 * 1024) + b"\r\n")
        elif self.mode == "no-line-end":
            transport.write(b"220 greeting without a line end")
            transport.close()

    def data_received(self, data):
        with open(os.path.join(self.record, "received.bin"), "ab") as f:
            f.write(data)

    def connection_lost(self, error):
        open(os.path.join(self.record, "closed"), "ab").close()


def tls_context(args):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    return context


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--mode", required=True)
    parser.add_argument("--record", required=True)
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--hold", type=float, default=3.0,
                        help="hold-data: seconds before the reply to the final dot")
    parser.add_argument("--verbose", action="store_true")
    args = parser.parse_args()
    # The tests provoke failed handshakes and broken sessions; their tracebacks are noise.
    logging.basicConfig(level=logging.DEBUG if args.verbose else logging.CRITICAL)
    mode = args.mode
    loop = asyncio.get_running_loop()
    handler = Handler(mode, args.record, args.hold)

    kwargs = {"hostname": "peer.test", "ident": "test peer", "authenticator": authenticate}
    listen_ssl = None
    # Under implicit TLS aiosmtpd does not know the session is encrypted.
    if mode in ("auth", "no-login", "multiline", "refuse-mail", "refuse-rcpt", "hold-data",
                "drop-data", "tls", "tls-drop-data"):
        kwargs["auth_require_tls"] = False
    if mode == "no-login":
        kwargs["auth_exclude_mechanism"] = ["LOGIN"]
    if mode == "starttls":
        kwargs["tls_context"] = tls_context(args)
        kwargs["require_starttls"] = True
    if mode in ("tls", "tls-drop-data"):
        listen_ssl = tls_context(args)

    if mode in ("huge-line", "no-line-end"):
        factory = lambda: RawPeer(mode, args.record)  # noqa: E731
    elif mode == "silent":
        factory = asyncio.Protocol
    else:
        factory = lambda: RecordingSMTP(handler, mode, args.record, loop=loop, **kwargs)  # noqa: E731

    server = await loop.create_server(factory, "127.0.0.1", 0, ssl=listen_ssl)
    port = server.sockets[0].getsockname()[1]
    print(f"PORT {port}", flush=True)
    stop = asyncio.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)
    # A test that crashed cannot stop its peer; the peer then goes by itself.
    parent = os.getppid()
    while not stop.is_set() and os.getppid() == parent:
        try:
            await asyncio.wait_for(stop.wait(), 0.5)
        except asyncio.TimeoutError:
            pass
    server.close()


if __name__ == "__main__":
    if sys.version_info < (3, 8):
        sys.exit("smtp_peer.py needs Python 3.8")
    asyncio.run(main())
