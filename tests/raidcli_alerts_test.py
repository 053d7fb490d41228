#!/usr/bin/env python3
"""raidcli's alerts end to end, as a user runs them.

`raidcli monitor --simulate=sim/scenarios/alerts.json` with mail to a real
SMTP server (aiosmtpd, tests/smtp/smtp_peer.py) and a notification command
that writes its RAIDGUI_* environment to a file: every alert of the scenario
gives its log line, its mail and its command run exactly once. Then the
example scripts of docs/examples/ against stand-ins of the programs they call.

usage: raidcli_alerts_test.py RAIDCLI SOURCE_DIR
"""

import json
import os
import signal
import subprocess
import sys
import tempfile
import time

RAIDCLI, SOURCE = sys.argv[1], sys.argv[2]
FAILURES = []

HOOK = """#!/usr/bin/python3
import json, os, sys
with open(sys.argv[1], "a") as f:
    f.write(json.dumps({k: v for k, v in os.environ.items() if k.startswith("RAIDGUI_")}) + "\\n")
"""


def check(condition, what):
    if not condition:
        FAILURES.append(what)
        print("FAIL:", what)


def run(args, env, stdin=None):
    return subprocess.run([RAIDCLI] + args, env=env, input=stdin, capture_output=True,
                          text=True, timeout=120)


def start_peer(record):
    peer = subprocess.Popen(["/usr/bin/python3", os.path.join(SOURCE, "tests/smtp/smtp_peer.py"),
                             "--mode", "plain", "--record", record],
                            stdout=subprocess.PIPE, text=True)
    line = peer.stdout.readline()
    if not line.startswith("PORT "):
        peer.kill()
        return None, 0
    return peer, int(line.split()[1])


def monitor_run(tmp):
    env = dict(os.environ, RAIDGUI_CONFIG_DIR=os.path.join(tmp, "config"),
               RAIDGUI_LOG_DIR=os.path.join(tmp, "log"), LC_ALL="C")
    env.pop("RAIDGUI_TRACE", None)
    record = os.path.join(tmp, "smtp")
    os.makedirs(record)
    peer, port = start_peer(record)
    if peer is None:
        check(False, "the SMTP peer did not start")
        return
    try:
        hook = os.path.join(tmp, "hook.py")
        with open(hook, "w") as f:
            f.write(HOOK)
        os.chmod(hook, 0o755)
        runs = os.path.join(tmp, "runs.jsonl")

        r = run(["mail", "set", "--smtp", "127.0.0.1", "--port", str(port), "--security", "none",
                 "--from", "raid@example.com", "--to", "ops@example.com"], env)
        check(r.returncode == 0, "mail set: " + r.stderr)
        r = run(["notify", "set", "--command", hook, "--arg", runs], env)
        check(r.returncode == 0, "notify set: " + r.stderr)
        r = run(["notify", "show"], env)
        check(hook in r.stdout and "Over-heat from: 55 C" in r.stdout, "notify show: " + r.stdout)
        r = run(["notify", "test"], env)
        check(r.returncode == 0, "notify test: " + r.stdout + r.stderr)

        out_path = os.path.join(tmp, "monitor.txt")
        with open(out_path, "w") as out:
            monitor = subprocess.Popen(
                [RAIDCLI, "monitor",
                 "--simulate=" + os.path.join(SOURCE, "sim/scenarios/alerts.json")],
                env=env, stdout=out, stderr=subprocess.STDOUT)
        # The SMART change is seen by the refresh a minute after the start;
        # the mails and command runs of the last alerts follow within seconds.
        deadline = time.time() + 150
        output = ""
        while time.time() < deadline:
            with open(out_path) as f:
                output = f.read()
            if "SMART Warning" in output:
                break
            time.sleep(1)
        time.sleep(8)
        monitor.send_signal(signal.SIGTERM)
        monitor.wait(timeout=60)
        with open(out_path) as f:
            output = f.read()
        check(monitor.returncode == 0, "monitor exit code %s" % monitor.returncode)
    finally:
        peer.send_signal(signal.SIGTERM)
        peer.wait(timeout=30)

    lines = output.splitlines()

    def logged(start):
        return [line for line in lines if line.startswith(start)]

    for start in ["D1 Over Heat: 60 C, limit 55 C, ", "D1 temperature back to normal: 48 C, ",
                  "D1 Fan Fail: 0 RPM, ", "D1 HDD2 SMART Warning: C5-Current pending sector count value 200, ",
                  "D1 HDD2 --> HDD1 Failed, [03] ",
                  "D1 HDD2 SMART Warning: 05-Reallocated sector count 0 --> 8, ",
                  "D1 HDD2 SMART Warning: C5-Current pending sector count 0 --> 2, "]:
        check(len(logged(start)) == 1, "log line %r: %r" % (start, logged(start)))
    check(len(logged("D1 HDD1 --> HDD2 Done, ") + logged("D1 HDD1 OK, HDD2 OK, ")) == 1,
          "the first rebuild's end is logged once")

    with open(os.path.join(record, "message.eml"), encoding="utf-8", errors="replace") as f:
        mails = f.read()
    for head in ["Device1 over heat.", "Device1 fan fail.", "Device1 P1 SMART Warning.",
                 "Device1 P1 rebuild done.", "Device1 P0 rebuild failed. [03]"]:
        check(mails.count(head) == 1, "mail %r arrived %d times" % (head, mails.count(head)))
    check(mails.count("Subject: ") == 5, "%d mails arrived, not 5" % mails.count("Subject: "))

    with open(runs) as f:
        events = [json.loads(line) for line in f]
    names = sorted(e["RAIDGUI_EVENT"] for e in events)
    check(names == ["fan-fail", "over-heat", "rebuild-done", "rebuild-failed", "smart", "test"],
          "command runs: %r" % names)
    smart = [e for e in events if e["RAIDGUI_EVENT"] == "smart"]
    if smart:
        e = smart[0]
        check(e["RAIDGUI_DEVICE"] == "Device1" and e["RAIDGUI_DRIVE"] == "HDD2" and
              e["RAIDGUI_SERIAL"] == "SIMA0000002" and e["RAIDGUI_MODEL"] == "SIMDISK HD4000-A",
              "the SMART run names its drive: %r" % e)
        check(e["RAIDGUI_SUBJECT"].startswith("[RAID GUI v0.50.11-5b Message]"),
              "subject " + e["RAIDGUI_SUBJECT"])
        check("Device1 P1 SMART Warning." in e["RAIDGUI_MESSAGE"] and
              "05-Reallocated sector count 0 --> 8" in e["RAIDGUI_MESSAGE"],
              "the SMART run carries the mail body")
        check(len(e["RAIDGUI_TIME"]) == 25 and e["RAIDGUI_TIME"][10] == "T",
              "ISO 8601 time " + e["RAIDGUI_TIME"])
    heat = [e for e in events if e["RAIDGUI_EVENT"] == "over-heat"]
    if heat:
        check(heat[0]["RAIDGUI_DRIVE"] == "" and heat[0]["RAIDGUI_MODEL"] == "Alert Mirror Dock",
              "the over-heat run names the enclosure: %r" % heat[0])


STUB = """#!/bin/sh
printf '%s\\n' "$0" "$@" > "$STUB_RECORD"
"""


def examples(tmp):
    stubs = os.path.join(tmp, "stubs")
    os.makedirs(stubs)
    for name in ["notify-send", "logger", "curl"]:
        path = os.path.join(stubs, name)
        with open(path, "w") as f:
            f.write(STUB)
        os.chmod(path, 0o755)
    record = os.path.join(tmp, "stub.txt")
    env = dict(os.environ, PATH=stubs + ":/usr/bin:/bin", STUB_RECORD=record,
               RAIDGUI_EVENT="over-heat", RAIDGUI_DEVICE="Device1", RAIDGUI_DRIVE="",
               RAIDGUI_SUBJECT="[RAID GUI v0.50.11-5b Message] hot",
               RAIDGUI_MESSAGE="Device1 over heat.\nTemperature : 60 C (limit 55 C)\n",
               RAIDGUI_TIME="2026-12-06T10:00:00+00:00", RAIDGUI_MODEL="Dock",
               RAIDGUI_SERIAL="")
    cases = [
        ("raidgui-notify-send.sh", [], ["--urgency=critical", "[RAID GUI v0.50.11-5b Message] hot"]),
        ("raidgui-syslog.sh", [], ["user.crit", "over-heat Device1  model=Dock serial=: "
                                                "[RAID GUI v0.50.11-5b Message] hot"]),
        ("raidgui-ntfy.sh", ["https://ntfy.example/raid"],
         ["Title: [RAID GUI v0.50.11-5b Message] hot", "Priority: urgent",
          "https://ntfy.example/raid", "Device1 over heat."]),
    ]
    for script, args, wanted in cases:
        path = os.path.join(SOURCE, "docs/examples", script)
        r = subprocess.run([path] + args, env=env, capture_output=True, text=True, timeout=30)
        check(r.returncode == 0, script + " exit code %d: %s" % (r.returncode, r.stderr))
        with open(record) as f:
            called = f.read()
        for text in wanted:
            check(text in called, "%s passes %r: %r" % (script, text, called))
    r = subprocess.run([os.path.join(SOURCE, "docs/examples/raidgui-ntfy.sh")], env=env,
                       capture_output=True, text=True, timeout=30)
    check(r.returncode != 0, "raidgui-ntfy.sh without its URL fails")


with tempfile.TemporaryDirectory(prefix="raidcli-alerts-") as tmp:
    examples(tmp)
    monitor_run(tmp)
print("%d failures" % len(FAILURES))
sys.exit(1 if FAILURES else 0)
