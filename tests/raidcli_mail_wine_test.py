#!/usr/bin/env python3
"""The Windows build's mail client under Wine, against a real SMTP server.

Runs tests/wine/smtp_send_probe.exe (the mail client: Winsock and Schannel) under
wine64 against aiosmtpd (tests/smtp/smtp_peer.py) on 127.0.0.1, over STARTTLS and
implicit TLS, with certificates from a test CA made here with the openssl command:
the mail arrives once and whole, and a certificate for another name, from another
CA, or trusted only by the CA file when the system store is asked, is refused with
"certificate not accepted: ..." before anything more is sent. Then the user's
flow through raidcli.exe: `mail set` with a non-ASCII sender name and the test
CA, `mail show`, and `mail test` over STARTTLS, which arrives once; the same
with a server certificate of another CA is refused and sends no mail.

usage: raidcli_mail_wine_test.py WINE PROBE_EXE RAIDCLI_EXE SOURCE_DIR
"""

import os
import signal
import subprocess
import sys
import tempfile

WINE, PROBE, RAIDCLI, SOURCE = sys.argv[1:5]
FAILURES = []


def check(condition, what):
    if not condition:
        FAILURES.append(what)
        print("FAIL:", what)


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, capture_output=True)


def make_ca(tmp, name):
    key, pem = os.path.join(tmp, name + ".key"), os.path.join(tmp, name + ".pem")
    openssl("req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
            "-nodes", "-days", "2", "-subj", "/CN=" + name, "-addext",
            "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign",
            "-keyout", key, "-out", pem)
    return key, pem


def make_leaf(tmp, name, alt_names, ca):
    """A server certificate for `alt_names`, signed by `ca` (key, pem)."""
    key, csr = os.path.join(tmp, name + ".key"), os.path.join(tmp, name + ".csr")
    pem, ext = os.path.join(tmp, name + ".pem"), os.path.join(tmp, name + ".ext")
    with open(ext, "w") as f:
        f.write("subjectAltName=%s\nextendedKeyUsage=serverAuth\n"
                "basicConstraints=critical,CA:FALSE\n" % alt_names)
    openssl("req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
            "-nodes", "-subj", "/CN=" + alt_names.split(",")[0].split(":")[1],
            "-keyout", key, "-out", csr)
    openssl("x509", "-req", "-in", csr, "-CA", ca[1], "-CAkey", ca[0], "-CAcreateserial",
            "-days", "2", "-extfile", ext, "-out", pem)
    return key, pem


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def start_peer(mode, record, leaf):
    os.makedirs(record)
    peer = subprocess.Popen(["/usr/bin/python3", os.path.join(SOURCE, "tests/smtp/smtp_peer.py"),
                             "--mode", mode, "--record", record, "--cert", leaf[1],
                             "--key", leaf[0]], stdout=subprocess.PIPE, text=True)
    line = peer.stdout.readline()
    if not line.startswith("PORT "):
        peer.kill()
        return None, 0
    return peer, int(line.split()[1])


def slurp(record, name):
    try:
        with open(os.path.join(record, name), "rb") as f:
            return f.read()
    except FileNotFoundError:
        return b""


def probe(env, host, port, security, ca_file, body_lines):
    r = subprocess.run([WINE, PROBE, host, str(port), security,
                        windows_path(ca_file) if ca_file else "-", str(body_lines)],
                       env=env, capture_output=True, text=True, timeout=180)
    return r.returncode, r.stdout.strip(), r.stderr


def raidcli(env, *args):
    r = subprocess.run([WINE, RAIDCLI, *args], env=env, capture_output=True, timeout=180)
    return (r.returncode, r.stdout.decode("utf-8", "replace").replace("\r\n", "\n"),
            r.stderr.decode("utf-8", "replace"))


def raidcli_flow(env, tmp, ca, leaf, stranger):
    """What a user types: the settings saved, shown, and the test mail sent."""
    settings = os.path.join(tmp, "settings")
    os.makedirs(settings)
    env = dict(env, RAIDGUI_CONFIG_DIR=windows_path(settings))
    for index, (name, cert, wanted_rc) in enumerate([
            ("raidcli.exe mail test over STARTTLS", leaf, 0),
            ("raidcli.exe mail test, server of another CA", stranger, 1)]):
        record = os.path.join(tmp, "raidcli-record%d" % index)
        peer, port = start_peer("starttls", record, cert)
        if peer is None:
            check(False, name + ": the SMTP peer did not start")
            continue
        try:
            rc, out, err = raidcli(env, "mail", "set", "--smtp", "localhost", "--port", str(port),
                                   "--security", "starttls", "--ca-file", windows_path(ca[1]),
                                   "--from-name", "Jürgen RAID", "--from", "raid@example.com",
                                   "--to", "ops@example.com", "--no-login")
            check(rc == 0 and out.startswith("Saved to "), "%s: mail set: %r %r" % (name, out, err))
            rc, out, err = raidcli(env, "mail", "show")
            check(rc == 0 and "From name:    Jürgen RAID\n" in out,
                  "%s: mail show: %r %r" % (name, out, err))
            rc, out, err = raidcli(env, "mail", "test")
        finally:
            peer.send_signal(signal.SIGTERM)
            peer.wait(timeout=30)
        print("%s: exit %d: %s %s" % (name, rc, out.strip(), err.strip()))
        stored = slurp(record, "message.eml")
        check(rc == wanted_rc, "%s: exit %d, wanted %d" % (name, rc, wanted_rc))
        if wanted_rc == 0:
            check(stored.count(b"Subject: ") == 1, "%s: %d mails arrived" %
                  (name, stored.count(b"Subject: ")))
            # The name was typed as UTF-8 and goes out as an encoded word of UTF-8.
            check(b"=?UTF-8?" in stored.upper() or b"=?utf-8?" in stored,
                  "%s: the sender's name is not labelled UTF-8: %r" % (name, stored[:400]))
        else:
            check("certificate not accepted" in err, "%s: %r" % (name, err))
            check(stored.count(b"Subject: ") == 0, "%s: a mail arrived" % name)


def main(tmp):
    env = dict(os.environ, WINEDEBUG="-all",
               WINEPREFIX=os.environ.get("RAIDGUI_WINEPREFIX", os.path.join(tmp, "wine")))
    ca = make_ca(tmp, "Test Mail CA")
    other_ca = make_ca(tmp, "Other CA")
    leaf = make_leaf(tmp, "localhost", "DNS:localhost,IP:127.0.0.1", ca)
    stranger = make_leaf(tmp, "stranger", "DNS:localhost,IP:127.0.0.1", other_ca)
    other_name = make_leaf(tmp, "mail.other.test", "DNS:mail.other.test", ca)
    both_cas = os.path.join(tmp, "both.pem")
    with open(both_cas, "w") as out:
        for pem in (other_ca[1], ca[1]):
            with open(pem) as f:
                out.write(f.read())
    missing = os.path.join(tmp, "missing.pem")

    # (name, peer mode, server certificate, host, security, CA file, body lines, outcome)
    # The outcome is "accepted" or the start of the failure text.
    cases = [
        ("STARTTLS, IP address, CA file", "starttls", leaf, "127.0.0.1", "starttls", ca[1], 3,
         "accepted"),
        # 2000 lines of 74 bytes: several TLS records, each message split to Schannel's size.
        ("STARTTLS, host name, long body", "starttls", leaf, "localhost", "auto", ca[1], 2000,
         "accepted"),
        ("implicit TLS, long body", "tls", leaf, "127.0.0.1", "tls", ca[1], 2000, "accepted"),
        ("CA file with two roots", "starttls", leaf, "localhost", "starttls", both_cas, 3,
         "accepted"),
        ("another CA", "starttls", stranger, "127.0.0.1", "starttls", ca[1], 3,
         "tls: certificate not accepted: "),
        ("another host name", "starttls", other_name, "localhost", "starttls", ca[1], 3,
         "tls: certificate not accepted: hostname mismatch"),
        ("another name for an IP address", "starttls", other_name, "127.0.0.1", "starttls", ca[1],
         3, "tls: certificate not accepted: IP address mismatch"),
        ("the system store does not know the test CA", "starttls", leaf, "localhost", "starttls",
         None, 3, "tls: certificate not accepted: "),
        ("CA file missing", "starttls", leaf, "127.0.0.1", "starttls", missing, 3,
         "tls: cannot load " + windows_path(missing) + ": "),
        ("server resets under TLS during the body", "tls-drop-data", leaf, "127.0.0.1", "tls",
         ca[1], 20000, "message: connection closed by the server"),
    ]
    for index, (name, mode, cert, host, security, ca_file, lines, wanted) in enumerate(cases):
        record = os.path.join(tmp, "record%d" % index)
        peer, port = start_peer(mode, record, cert)
        if peer is None:
            check(False, name + ": the SMTP peer did not start")
            continue
        try:
            rc, out, err = probe(env, host, port, security, ca_file, lines)
        finally:
            peer.send_signal(signal.SIGTERM)
            peer.wait(timeout=30)
        print("%s: %s" % (name, out))
        stored = slurp(record, "message.eml")
        if wanted == "accepted":
            check(rc == 0 and out == "accepted", "%s: %r %r" % (name, out, err[-500:]))
            check(stored.count(b"Subject: ") == 1, "%s: %d mails arrived" %
                  (name, stored.count(b"Subject: ")))
            check(stored.count(b"w" * 72) == lines and stored.endswith(b"end of probe\r\n"),
                  "%s: the body arrived whole" % name)
        else:
            check(rc == 1 and out.startswith(wanted), "%s: %r, wanted %r (%s)" %
                  (name, out, wanted, err[-500:]))
            if mode == "starttls":
                # Nothing, not even Quit, goes over a connection whose server was not proven.
                received = slurp(record, "received.bin")
                check(received == b"ehlo raid.test\r\nSTARTTLS\r\n",
                      "%s: the server received %r" % (name, received[:200]))
            check(stored.count(b"end of probe") == 0, "%s: no mail arrived" % name)
    raidcli_flow(env, tmp, ca, leaf, stranger)
    # The prefix goes with the temporary folder: its server must have ended first.
    server = os.path.join(os.path.dirname(WINE), "wineserver")
    if os.path.exists(server):
        subprocess.run([server, "-w"], env=env, timeout=60)


with tempfile.TemporaryDirectory(prefix="raidcli-mail-wine-") as tmp:
    main(tmp)
print("%d failures" % len(FAILURES))
sys.exit(1 if FAILURES else 0)
