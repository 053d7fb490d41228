#!/usr/bin/env python3
"""Runs raidcli in a qemu guest against a stand-in enclosure served over NBD and checks it.

The guest sees one USB mass-storage disk (behind qemu's xHCI controller) whose
sectors come from an NBD server: by default nbdkit with the stand-in enclosure
plugin, started here on a unix socket in a temporary folder. The guest kernel
also has a small non-USB SCSI disk (scsi_debug) that appears first. The guest
runs `raidcli probe`, `raidcli status --json` and `raidcli smart --json` and prints their output and
transport traces on the serial console; the host then checks

  - guest:   the guest booted, found the USB disk and ran both commands;
  - mapping: disk number 0 is the USB enclosure although another SCSI disk came
             first, and that other disk (disk 1) is no enclosure;
  - values:  the enclosure's values (name, firmware, chip variant, mode, drives);
  - reads:   the reads the backend received after raidcli started are exactly
             the reads raidcli sent to disk 0, in order, and they form
             well-formed commands (frames with separators, then reply polls).

A case marked expect_broken runs a deliberately broken backend: it passes only
when the guest run completed and the reads check failed.
"""

import argparse
import ctypes
import json
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass, field
from pathlib import Path

from read_check import ReadStreamError, first_difference, parse_commands

HERE = Path(__file__).resolve().parent
PR_SET_PDEATHSIG = 1

CMD_PROBE = 0x10
CMD_CONTROLLER_INFO = 0x11
CMD_DRIVE_INFO = 0x17
CMD_ATA_ISSUE = 0xB1
CMD_ATA_FETCH = 0xB2
RUNS = ("probe", "status", "smart")


def log(message):
    print(f"e2e: {message}", flush=True)


def die_with_parent():
    """Run in the child before exec: it gets SIGKILL when this script dies."""
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.prctl(PR_SET_PDEATHSIG, signal.SIGKILL, 0, 0, 0) != 0:
        raise OSError(ctypes.get_errno(), "prctl(PR_SET_PDEATHSIG)")


def stop(process, name, grace=5.0):
    if process is None or process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(grace)
    except subprocess.TimeoutExpired:
        log(f"{name} ignored SIGTERM; killing it")
        process.kill()
        process.wait()


def start_nbdkit(args, case, work: Path):
    sock = work / "nbd.sock"
    read_log = work / "reads.log"
    # nbdkit writes its pid file once the socket accepts connections.
    pid_file = work / "nbdkit.pid"
    cmd = [args.nbdkit, "-f", "-U", str(sock), "-P", str(pid_file), str(args.plugin),
           f"scenario={args.scenario}", f"disk={case['disk']}", f"readlog={read_log}",
           f"fault={case.get('fault', 'none')}"]
    out = open(work / "nbdkit.log", "w")
    process = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT,
                               preexec_fn=die_with_parent)
    out.close()
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        if process.poll() is not None:
            raise RuntimeError("nbdkit exited at start:\n" + (work / "nbdkit.log").read_text())
        if pid_file.exists() and pid_file.read_text().strip():
            return process, {"type": "unix", "path": str(sock)}, read_log
        time.sleep(0.05)
    stop(process, "nbdkit")
    raise RuntimeError("nbdkit was not ready within 10 s")


def qemu_option(text):
    return text.replace(",", ",,")


def qemu_command(args, case, server):
    if server["type"] == "unix":
        where = f"server.type=unix,server.path={qemu_option(server['path'])}"
    else:
        where = f"server.type=inet,server.host={server['host']},server.port={server['port']}"
    cmd = [args.qemu, "-machine", "q35", "-m", "256M", "-smp", "1", "-nodefaults",
           "-display", "none", "-no-reboot", "-serial", "stdio",
           "-kernel", str(args.image / "vmlinuz"), "-initrd", str(args.image / "initrd.gz"),
           "-append", "console=ttyS0 loglevel=4 printk.time=1 panic=-1",
           "-device", "qemu-xhci,id=xhci",
           "-blockdev", f"driver=nbd,node-name=enclosure,{where},read-only=on"]
    if case["bus"] == "usb-storage":
        cmd += ["-device", "usb-storage,bus=xhci.0,drive=enclosure"]
    elif case["bus"] == "usb-bot":
        inquiry = case["inquiry"]
        cmd += ["-device", "usb-bot,id=bot,bus=xhci.0",
                "-device", "scsi-hd,bus=bot.0,scsi-id=0,lun=0,drive=enclosure,"
                f"vendor={qemu_option(inquiry['vendor'])},"
                f"product={qemu_option(inquiry['product'])}"]
    else:
        raise ValueError(f"unknown bus {case['bus']}")
    return cmd


def count_lines(path):
    if path is None:
        return None
    with open(path, "rb") as f:
        return sum(1 for _ in f)


@dataclass
class Console:
    lines: list = field(default_factory=list)
    mark: int = None  # backend reads logged when the guest was ready
    ready_s: float = None
    done_s: float = None
    problem: str = None


def drive_guest(qemu, read_log, timeout):
    """Reads the console to the end; says "go" once the guest is ready."""
    console = Console()
    start = time.monotonic()
    deadline = start + timeout
    pending = b""
    fd = qemu.stdout.fileno()
    while True:
        left = deadline - time.monotonic()
        if left <= 0:
            console.problem = f"no end of the guest run within {timeout} s"
            return console
        ready, _, _ = select.select([fd], [], [], left)
        if not ready:
            continue
        chunk = os.read(fd, 65536)
        if not chunk:
            if console.done_s is None and console.problem is None:
                console.problem = "qemu ended before the guest said @@DONE"
            return console
        pending += chunk
        *complete, pending = pending.split(b"\n")
        for raw in complete:
            line = raw.decode(errors="replace").rstrip("\r")
            console.lines.append(line)
            if line == "@@READY":
                # The guest waits for "go": nothing reads the disk meanwhile.
                console.mark = count_lines(read_log)
                console.ready_s = time.monotonic() - start
                qemu.stdin.write(b"go\n")
                qemu.stdin.flush()
            elif line == "@@DONE":
                console.done_s = time.monotonic() - start
            elif line.startswith("@@FAIL"):
                console.problem = "guest: " + line[len("@@FAIL "):]


@dataclass
class GuestRun:
    outputs: dict = field(default_factory=dict)  # run name -> output lines
    codes: dict = field(default_factory=dict)  # run name -> exit code
    traces: dict = field(default_factory=dict)  # run name -> trace lines
    disks: list = field(default_factory=list)  # (name, sysfs device path)


def parse_console(lines):
    run = GuestRun()
    for line in lines:
        if m := re.fullmatch(r"@@OUT (\w+)\|(.*)", line):
            run.outputs.setdefault(m[1], []).append(m[2])
        elif m := re.fullmatch(r"@@TRACE (\w+)\|(.*)", line):
            run.traces.setdefault(m[1], []).append(m[2])
        elif m := re.fullmatch(r"@@END (\w+) (\d+)", line):
            run.codes[m[1]] = int(m[2])
        elif m := re.fullmatch(r"@@DISK (\S+) (\S+)", line):
            run.disks.append((m[1], m[2]))
    return run


def trace_reads(lines, disk):
    """(lba, ok) of every READ10 the trace shows for `disk`."""
    reads = []
    for line in lines:
        m = re.fullmatch(r"READ10 disk=(\S+) lba=0x([0-9A-F]+) (ok|fail)", line)
        if m and m[1] == str(disk):
            reads.append((int(m[2], 16), m[3] == "ok"))
    return reads


class Checks:
    def __init__(self):
        self.results = []  # (name, ok, detail)

    def add(self, name, ok, detail=""):
        self.results.append((name, ok, detail))

    def failed(self, name=None):
        return [r for r in self.results if not r[1] and (name is None or r[0] == name)]


def check_mapping(checks, run, expect):
    usb = [(n, p) for n, p in run.disks if re.search(r"/usb\d+/", p)]
    other = [(n, p) for n, p in run.disks if not re.search(r"/usb\d+/", p)]
    probe = run.outputs.get("probe", [])
    disk0 = [line for line in probe if line.startswith("disk 0: ")]
    disk1 = [line for line in probe if line.startswith("disk 1: ")]
    problems = []
    if len(usb) != 1 or not other:
        problems.append(f"expected one USB disk and another SCSI disk, got {run.disks}")
    if disk0 != [f"disk 0: {expect['probe']}"]:
        problems.append(f"disk 0 should be the enclosure: {disk0}")
    if len(disk1) != 1 or not disk1[0].startswith("disk 1: no enclosure"):
        problems.append(f"disk 1 should be the other SCSI disk, no enclosure: {disk1}")
    checks.add("mapping", not problems, "; ".join(problems) or
               f"disk 0 = {usb[0][0]} (USB), disk 1 = {other[0][0]}")


def check_values(checks, run, expect):
    problems = []
    for name in ("probe", "status"):
        if run.codes.get(name) != 0:
            problems.append(f"raidcli {name} exited with {run.codes.get(name)}")
    try:
        doc = json.loads("\n".join(run.outputs.get("status", [])))
        enclosures = doc["enclosures"]
    except (ValueError, KeyError, TypeError) as error:
        checks.add("values", False, f"status --json is no JSON document: {error}")
        return
    if len(enclosures) != 1:
        problems.append(f"expected one enclosure, got {len(enclosures)}")
    else:
        e = enclosures[0]
        for key in ("name", "firmware", "chipVariant", "mode"):
            if e.get(key) != expect[key]:
                problems.append(f"{key}: {e.get(key)!r}, expected {expect[key]!r}")
        if e.get("disk") != 0:
            problems.append(f"disk: {e.get('disk')!r}, expected 0")

        def drive_key(d):
            return (d.get("model"), (d.get("serial") or "").rstrip(), d.get("capacitySectors"),
                    d.get("state"))
        got = sorted(drive_key(d) for d in e.get("drives", []))
        want = sorted(drive_key(d) for d in expect["drives"])
        if got != want:
            problems.append(f"drives: {got}, expected {want}")
    checks.add("values", not problems, "; ".join(problems) or
               f"{expect['name']}, {expect['mode']}, firmware {expect['firmware']}")


def check_smart(checks, run, expect):
    """`raidcli smart --json`: the 4K word and the scenario's attributes of both drives."""
    problems = []
    if run.codes.get("smart") != 0:
        problems.append(f"raidcli smart exited with {run.codes.get('smart')}")
    try:
        doc = json.loads("\n".join(run.outputs.get("smart", [])))
        enclosures = doc["enclosures"]
        drives = enclosures[0]["drives"] if len(enclosures) == 1 else []
    except (ValueError, KeyError, TypeError, IndexError) as error:
        checks.add("smart", False, f"smart --json is no JSON document: {error}")
        return
    if len(enclosures) != 1 or len(drives) != len(expect["smart"]):
        problems.append(f"expected one enclosure with {len(expect['smart'])} drives: {doc}")
    for got, want in zip(drives, expect["smart"]):
        bay = got.get("bay")
        for key in ("present", "read", "sectorWord", "fourKSector", "overall"):
            if got.get(key) != want[key]:
                problems.append(f"{bay} {key}: {got.get(key)!r}, expected {want[key]!r}")
        by_id = {a.get("id"): a for a in got.get("attributes", [])}
        for attribute in want["attributes"]:
            have = by_id.get(attribute["id"])
            shown = {k: have.get(k) for k in attribute} if have else None
            if shown != attribute:
                problems.append(f"{bay} attribute {attribute['id']}: {shown}, "
                                f"expected {attribute}")
    checks.add("smart", not problems, "; ".join(problems) or
               ", ".join(f"{d.get('bay')} {d.get('overall')} 4K {d.get('fourKSector')}"
                         for d in drives))


def check_reads(checks, run, received):
    """`received`: what the backend got after raidcli started, or None when unknown."""
    problems = []
    sent = {name: trace_reads(run.traces.get(name, []), 0) for name in RUNS}
    failed = [(name, lba) for name, reads in sent.items() for lba, ok in reads if not ok]
    if failed:
        problems.append(f"reads that failed in the guest: {failed[:5]}")
    streams = {}
    for name, reads in sent.items():
        lbas = [lba for lba, _ in reads]
        try:
            streams[name] = [c.code for c in parse_commands(lbas)]
        except ReadStreamError as error:
            problems.append(f"raidcli {name} sent a malformed stream: {error}")
    if "probe" in streams and streams["probe"] != [CMD_PROBE, CMD_CONTROLLER_INFO]:
        problems.append(f"probe sent commands {[hex(c) for c in streams['probe']]}")
    if "status" in streams and (streams["status"][:2] != [CMD_PROBE, CMD_CONTROLLER_INFO]
                                or CMD_DRIVE_INFO not in streams["status"]):
        problems.append(f"status sent commands {[hex(c) for c in streams['status']]}")
    if "smart" in streams and (streams["smart"][:2] != [CMD_PROBE, CMD_CONTROLLER_INFO]
                               or CMD_ATA_ISSUE not in streams["smart"]
                               or CMD_ATA_FETCH not in streams["smart"]):
        problems.append(f"smart sent commands {[hex(c) for c in streams['smart']]}")

    all_sent = [lba for name in RUNS for lba, _ in sent[name]]
    if received is None:
        detail = "backend log not available: only what raidcli sent was checked"
    else:
        try:
            parse_commands(received)
        except ReadStreamError as error:
            problems.append(f"the backend received a malformed stream: {error}")
        diff = first_difference(received, all_sent)
        if diff is not None:
            i, got, want = diff
            context = received[max(0, i - 4):i + 4]
            problems.append(f"backend read {i} was {got} where raidcli sent {want} "
                            f"(backend received {len(received)}, raidcli sent {len(all_sent)}; "
                            f"received around it: {context})")
        detail = f"{len(received)} reads, " + \
            " + ".join(str(len(streams.get(name, []))) for name in RUNS) + " commands, as sent"
    checks.add("reads", not problems, "; ".join(problems) or detail)


def parse_nbd(args):
    if args.nbd_socket:
        return {"type": "unix", "path": args.nbd_socket}
    host, _, port = args.nbd_inet.rpartition(":")
    if not host or not port.isdigit():
        raise SystemExit("--nbd-inet wants HOST:PORT")
    return {"type": "inet", "host": host, "port": port}


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--case", required=True, help="a case of cases.json")
    parser.add_argument("--cases", type=Path, default=HERE / "cases.json")
    parser.add_argument("--scenario", type=Path, default=HERE / "scenario.json")
    parser.add_argument("--image", type=Path, required=True,
                        help="folder with vmlinuz and initrd.gz (guest_image.py)")
    parser.add_argument("--plugin", type=Path, help="the nbdkit plugin (raidsim-plugin.so)")
    parser.add_argument("--nbdkit", default="nbdkit")
    parser.add_argument("--qemu", default="qemu-system-x86_64")
    other = parser.add_argument_group("another NBD backend instead of nbdkit with the plugin")
    other.add_argument("--nbd-socket", help="unix socket of a running NBD server")
    other.add_argument("--nbd-inet", help="HOST:PORT of a running NBD server")
    other.add_argument("--read-log", type=Path,
                       help="that server's log: the LBA of every read it received, one a line")
    parser.add_argument("--timeout", type=float, default=120, help="seconds for the guest run")
    parser.add_argument("--keep", action="store_true", help="keep the temporary folder")
    args = parser.parse_args()

    cases = json.loads(args.cases.read_text())
    if args.case not in cases:
        raise SystemExit(f"no case {args.case} in {args.cases}: {', '.join(cases)}")
    case = cases[args.case]
    expect = case.get("expect") or cases[case["expect_from"]]["expect"]
    external = args.nbd_socket or args.nbd_inet
    if not external and args.plugin is None:
        raise SystemExit("--plugin is needed unless --nbd-socket or --nbd-inet names a server")
    log(f"case {args.case}: {case['about']}")

    work = Path(tempfile.mkdtemp(prefix="raidgui-e2e-"))
    nbdkit = qemu = None
    started = time.monotonic()
    try:
        if external:
            server, read_log = parse_nbd(args), args.read_log
        else:
            nbdkit, server, read_log = start_nbdkit(args, case, work)
        cmd = qemu_command(args, case, server)
        qemu = subprocess.Popen(cmd, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, preexec_fn=die_with_parent)
        console = drive_guest(qemu, read_log, args.timeout)
        stop(qemu, "qemu")
        qemu_rc = qemu.returncode
        received = None
        if read_log is not None and console.mark is not None:
            received = [int(x) for x in read_log.read_text().split()][console.mark:]
        stop(nbdkit, "nbdkit")
    finally:
        stop(qemu, "qemu")
        stop(nbdkit, "nbdkit")
        nbdkit_log = work / "nbdkit.log"
        if nbdkit_log.exists() and nbdkit_log.stat().st_size:
            log("nbdkit said:\n" + nbdkit_log.read_text())
        if args.keep:
            log(f"kept {work}")
        else:
            shutil.rmtree(work, ignore_errors=True)

    for line in console.lines:
        if not line.startswith("@@TRACE"):
            print(f"  | {line}")
    timing = (f"qemu to ready {console.ready_s:.1f} s, " if console.ready_s else "") + \
             (f"ready to done {console.done_s - console.ready_s:.1f} s, "
              if console.done_s and console.ready_s else "") + \
             f"whole case {time.monotonic() - started:.1f} s, qemu exit code {qemu_rc}"
    log(timing)
    if console.mark is not None:
        log(f"reads before raidcli started (kernel and qemu): {console.mark}")

    checks = Checks()
    run = parse_console(console.lines)
    checks.add("guest", console.problem is None and console.done_s is not None,
               console.problem or "booted, ran probe, status and smart")
    if console.done_s is not None:
        check_mapping(checks, run, expect)
        check_values(checks, run, expect)
        check_smart(checks, run, expect)
        check_reads(checks, run, received)
    for name, ok, detail in checks.results:
        log(f"{'PASS' if ok else 'FAIL'} {name}: {detail}")

    if case.get("expect_broken"):
        if checks.failed("guest"):
            log("the broken backend was not shown: the guest run did not complete")
            return 1
        if not checks.failed("reads"):
            log("the broken backend went unnoticed: the reads check passed")
            return 1
        log("the broken backend was caught, as it must be")
        return 0
    return 1 if checks.failed() else 0


if __name__ == "__main__":
    sys.exit(main())
