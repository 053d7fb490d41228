#!/usr/bin/env python3
"""raidcli firmware check/upgrade against the stand-in, faults included, and
the enclosure lock of every verb that talks to an enclosure.

usage: raidcli_firmware_test.py RAIDCLI SOURCE_DIR
Each case runs the real binary and checks its exit status and texts; a case
that hangs fails on its time-out.
"""
import concurrent.futures
import fcntl
import json
import os
import signal
import struct
import subprocess
import sys
import tempfile

GUID = bytes([0xEF, 0x6D, 0x16, 0xAE, 0xDC, 0x6F, 0x4C, 0x47,
              0x9B, 0xA4, 0xB6, 0xAA, 0xE4, 0xB6, 0x9A, 0x84])


def image(size, family=(0x62, 0x18), type_byte=0x12):
    b = bytearray((i * 37 + (i >> 8)) & 0xFF for i in range(size))
    if size >= 162:
        b[128:132] = b"VOKT"
        b[132:148] = GUID
        b[149] = type_byte
        b[156:160] = struct.pack(">I", 0x14040310)
        b[160], b[161] = family
    return bytes(b)


def main():
    raidcli, source = sys.argv[1], sys.argv[2]
    with open(os.path.join(source, "sim", "scenarios", "default.json")) as f:
        default = json.load(f)
    work = tempfile.mkdtemp(prefix="raidcli-fw-")
    env = dict(os.environ, RAIDGUI_LOG_DIR=work)

    def path(name, data):
        p = os.path.join(work, name)
        with open(p, "wb") as f:
            f.write(data)
        return p

    def scenario(name, *faults):
        s = json.loads(json.dumps(default))
        s["enclosures"][0]["faults"] = list(faults)
        p = os.path.join(work, name + ".json")
        with open(p, "w") as f:
            json.dump(s, f)
        return "--simulate=" + p

    good = path("good.bin", image(4096))
    other = path("other.bin", image(4096, family=(0x27, 0x60)))
    short = path("short.bin", image(100))
    other_type = path("type13.bin", image(4096, type_byte=0x13))
    eight_mib = path("8mib.bin", image(8 * 1024 * 1024))
    fifo = os.path.join(work, "fifo.bin")
    os.mkfifo(fifo)

    cases = [
        # name, args, stdin, exit status, texts on stdout, texts on stderr
        ("check accepts", ["firmware", "check", good, "--simulate"], "", 0,
         ["Chksum:", "F:14040310 C:14040310", "Verdict: accepted"], []),
        ("check refuses another product", ["firmware", "check", other, "--simulate"], "", 1,
         ["Verdict: refused"], ["The firmware is not for this product."]),
        ("check refuses a short file", ["firmware", "check", short, "--simulate"], "", 1,
         ["Verdict: refused"], ["too short (100 bytes)"]),
        # check runs what upgrade runs: the same verdict, the same reason.
        ("check refuses another firmware type", ["firmware", "check", other_type, "--simulate"],
         "", 1, ["Verdict: refused"], ["Incorrect Firmware Type! SPI = 12, BIN = 13"]),
        ("upgrade refuses another firmware type",
         ["firmware", "upgrade", other_type, "--simulate", "--yes"], "", 1,
         ["Verdict: refused"], ["Incorrect Firmware Type! SPI = 12, BIN = 13"]),
        ("check refuses an image whose erase passes 8 MiB",
         ["firmware", "check", eight_mib, "--simulate"], "", 1,
         ["Verdict: refused"], ["too large for the SPI flash (8388608 bytes)"]),
        ("upgrade refuses an image whose erase passes 8 MiB",
         ["firmware", "upgrade", eight_mib, "--simulate", "--yes"], "", 1,
         ["Verdict: refused"], ["too large for the SPI flash (8388608 bytes)"]),
        ("a FIFO is not read", ["firmware", "check", fifo, "--simulate"], "", 1,
         ["Verdict: refused"], ["not a regular file"]),
        ("the target named by its disk", ["firmware", "check", good, "--disk", "1", "--simulate"],
         "", 0, ["Device2 (disk 1)", "Verdict: accepted"], []),
        ("a disk without an enclosure", ["firmware", "check", good, "--disk", "5", "--simulate"],
         "", 1, [], ["No enclosure was found on disk 5."]),
        ("a node that is no disk of ours",
         ["firmware", "check", good, "--disk", "/nonexistent/sdz", "--simulate"], "", 2, [],
         ["/nonexistent/sdz is not one of the disks 0-9"]),
        ("--device and --disk together", ["firmware", "check", good, "--disk", "1", "--device",
                                          "2", "--simulate"], "", 2, [], ["give one"]),
        ("upgrade", ["firmware", "upgrade", good, "--simulate", "--yes"], "", 0,
         ["Process 1 / 3", "SPI Erase OK", "SPI Program OK", "SPI Verify OK",
          "Firmware Upgrade 3/3 completed!"], []),
        ("upgrade asks first: no", ["firmware", "upgrade", good, "--simulate"], "n\n", 1,
         ["Rewrite the firmware of Device1 (disk 0: Sim Mirror Dock, firmware 140403.0) with",
          "[y/N]", "Cancelled."], []),
        ("upgrade asks first: yes", ["firmware", "upgrade", good, "--simulate"], "y\n", 0,
         ["Firmware Upgrade 3/3 completed!"], []),
        ("upgrade of the second-pair device", ["firmware", "upgrade", good, "--device", "2",
                                               "--simulate", "--yes"], "", 0,
         ["Device2 (disk 1)", "Firmware Upgrade 3/3 completed!"], []),
        ("bad device", ["firmware", "check", good, "--device", "3", "--simulate"], "", 2,
         [], ["--device takes 1 or 2"]),
        ("no file", ["firmware", "upgrade", "--simulate"], "", 2,
         [], ["firmware needs check or upgrade and a file"]),
        ("--yes belongs to upgrade", ["firmware", "check", good, "--yes", "--simulate"], "", 2,
         [], ["unknown option '--yes'"]),
        ("erase fails for good",
         ["firmware", "upgrade", good, "--yes",
          scenario("erase", {"kind": "status", "code": "0x23", "address": "0x1000",
                             "status": "0xE0"})], "", 1,
         ["EraseSPI fail 9 times, Address = 1000", "EraseSPI fail, Address = 1000",
          "SPI Erase Fail."], ["Message: SPI Erase Fail."]),
        ("read-back fails twice",
         ["firmware", "upgrade", good, "--yes",
          scenario("read", {"kind": "reply_read_fails", "code": 32, "address": "0x200",
                            "times": 2})], "", 0,
         ["ReadSPI fail 2 times, Address = 0200", "Firmware Upgrade 3/3 completed!"], []),
        ("a bit flipped in read-back",
         ["firmware", "upgrade", good, "--yes",
          scenario("flip", {"kind": "flip_bit", "address": 4095, "bit": 0})], "", 1,
         ["SPI Verify fail !!!"], ["Message: SPI Verify fail !!!"]),
        ("enclosure gone mid-program",
         ["firmware", "upgrade", good, "--yes",
          scenario("vanish", {"kind": "vanish", "code": 37, "address": "0x400"})], "", 1,
         ["WriteSPI fail, Address = 0400", "SPI Program Fail."], ["Message: SPI Program Fail."]),
    ]
    # Another process of ours holds disk 0 for the whole run: its enclosure
    # keeps its number (Device1) and is refused; Device2 is still disk 1.
    locks = os.path.join(work, "locks")
    os.mkdir(locks)
    held = open(os.path.join(locks, "disk0.lock"), "w")
    fcntl.flock(held, fcntl.LOCK_EX)
    cases.append(("an enclosure locked by another process keeps its number",
                  ["firmware", "check", good, "--simulate", "--lock-dir=" + locks], "", 1,
                  [], ["Device1 (disk 0) is in use by another program."]))
    cases.append(("the enclosure after it keeps its number too",
                  ["firmware", "check", good, "--device", "2", "--simulate",
                   "--lock-dir=" + locks], "", 0,
                  ["Device2 (disk 1)", "Verdict: accepted"], []))
    # While another process holds every enclosure, the verbs that read SMART
    # data or the backup schedule touch none of them either.
    every = os.path.join(work, "every-lock")
    os.mkdir(every)
    held_every = []
    for disk in range(10):
        f = open(os.path.join(every, f"disk{disk}.lock"), "w")
        fcntl.flock(f, fcntl.LOCK_EX)
        held_every.append(f)
    hybrid = "--simulate=" + os.path.join(source, "sim", "scenarios", "hybrid_6h.json")
    for verb, simulate in (("smart", "--simulate"), ("schedule", hybrid)):
        cases.append((f"{verb} leaves enclosures another process holds alone",
                      [verb, simulate, "--lock-dir=" + every], "", 1, [],
                      ["Device1 (disk 0) is in use by another program."]))

    def scenario_of(name, flash_file=None, flash_file_b=None):
        s = json.loads(json.dumps(default))
        if flash_file:
            s["enclosures"][0].setdefault("controller", {})["flash_file"] = flash_file
        if flash_file_b:
            s["enclosures"][1].setdefault("controller", {})["flash_file"] = flash_file_b
        p = os.path.join(work, name + ".json")
        with open(p, "w") as f:
            json.dump(s, f)
        return "--simulate=" + p

    signal_image = image(32768)
    signal_firmware = path("signals.bin", signal_image)
    failed = stop_signal_cases(raidcli, env, scenario_of, signal_firmware, signal_image)
    failed += two_process_cases(raidcli, env, scenario_of, signal_firmware, signal_image)
    for name, args, stdin, status, out_texts, err_texts in cases:
        run_env = env
        if args[-1].startswith("--lock-dir="):
            run_env = dict(env, RAIDGUI_LOCK_DIR=args[-1].split("=", 1)[1])
            args = args[:-1]
        try:
            run = subprocess.run([raidcli] + args, input=stdin, capture_output=True, text=True,
                                 env=run_env, timeout=120)
        except subprocess.TimeoutExpired:
            print(f"FAIL {name}: hung")
            failed += 1
            continue
        problems = []
        if run.returncode != status:
            problems.append(f"exit {run.returncode}, expected {status}")
        problems += [f"stdout lacks {t!r}" for t in out_texts if t not in run.stdout]
        problems += [f"stderr lacks {t!r}" for t in err_texts if t not in run.stderr]
        failed += report(name, problems, run.stdout, run.stderr)
    return 1 if failed else 0


def report(name, problems, out, err):
    """Prints one case's outcome; 1 when it failed."""
    if problems:
        print(f"FAIL {name}: " + "; ".join(problems))
        print("--- stdout\n" + out + "--- stderr\n" + err)
        return 1
    print(f"ok   {name}")
    return 0


PHASES = ("Process 1 / 3", "Process 2 / 3", "Process 3 / 3")


def flash_holds(flash_file, firmware):
    with open(flash_file, "rb") as f:
        flash = f.read()
    return flash[:len(firmware)] == firmware


def upgrade_with_flash_file(raidcli, env, scenario_of, firmware, name):
    """Starts an upgrade of Device1 whose stand-in keeps its flash in a file."""
    flash_file = os.path.join(env["RAIDGUI_LOG_DIR"], name + ".flash")
    simulate = scenario_of(name, flash_file=flash_file)
    run = subprocess.Popen([raidcli, "firmware", "upgrade", firmware, simulate, "--yes"],
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
    return run, flash_file


def stop_signal_case(raidcli, env, scenario_of, firmware, image_bytes, sig):
    """Sends `sig` in each phase of one upgrade (erase, program, compare): the
    upgrade goes on to its end, the flash holds the image and the exit status
    says it completed."""
    name = f"stop signal {signal.Signals(sig).name} in every phase"
    run, flash_file = upgrade_with_flash_file(raidcli, env, scenario_of, firmware,
                                              "sig" + str(sig))
    seen = []
    for line in run.stdout:
        seen.append(line)
        if line.strip() in PHASES:
            run.send_signal(sig)
    try:
        rest, err = run.communicate(timeout=300)
    except subprocess.TimeoutExpired:
        run.kill()
        return f"FAIL {name}: hung"
    out = "".join(seen) + rest
    problems = []
    if run.returncode != 0:
        problems.append(f"exit {run.returncode}, expected 0")
    if "Firmware Upgrade 3/3 completed!" not in out:
        problems.append("no completion text")
    if not all(p in out for p in PHASES):
        problems.append("a phase is missing")
    if sig != signal.SIGPIPE and "held back until the upgrade ended" not in err:
        problems.append("stderr does not say the signal was held back")
    if not flash_holds(flash_file, image_bytes):
        problems.append("the flash does not hold the image")
    if problems:
        return f"FAIL {name}: " + "; ".join(problems) + "\n--- stdout\n" + out + \
            "--- stderr\n" + err
    return f"ok   {name}"


def closed_output_case(raidcli, env, scenario_of, firmware, image_bytes):
    """The reader of standard output goes away during the erase (`| head`):
    the upgrade goes on, says on stderr that output was lost, and exits 0."""
    name = "standard output closed during the erase"
    run, flash_file = upgrade_with_flash_file(raidcli, env, scenario_of, firmware, "closed")
    for line in run.stdout:
        if line.strip() == PHASES[0]:
            break
    run.stdout.close()
    try:
        err = run.stderr.read()
        run.wait(timeout=300)
    except subprocess.TimeoutExpired:
        run.kill()
        return f"FAIL {name}: hung"
    problems = []
    if run.returncode != 0:
        problems.append(f"exit {run.returncode}, expected 0")
    if "standard output could not be written" not in err:
        problems.append("stderr does not say output was lost")
    if not flash_holds(flash_file, image_bytes):
        problems.append("the flash does not hold the image")
    if problems:
        return f"FAIL {name}: " + "; ".join(problems) + "\n--- stderr\n" + err
    return f"ok   {name}"


def stop_signal_cases(raidcli, env, scenario_of, firmware, image_bytes):
    """Runs the signal table and the closed-output case side by side (they
    spend their time waiting for the stand-in's replies)."""
    jobs = [lambda s=sig: stop_signal_case(raidcli, env, scenario_of, firmware, image_bytes, s)
            for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT,
                        signal.SIGPIPE)]
    jobs.append(lambda: closed_output_case(raidcli, env, scenario_of, firmware, image_bytes))
    with concurrent.futures.ThreadPoolExecutor(max_workers=len(jobs)) as pool:
        results = list(pool.map(lambda job: job(), jobs))
    failed = 0
    for result in results:
        print(result)
        failed += result.startswith("FAIL")
    return failed


def two_process_cases(raidcli, env, scenario_of, firmware, image_bytes):
    """Another process holds enclosure A (disk 0): aimed at A, the upgrade is
    refused with no flash command; aimed at B it upgrades B only."""
    failed = 0
    locks = os.path.join(env["RAIDGUI_LOG_DIR"], "locks-two")
    os.mkdir(locks)
    held = open(os.path.join(locks, "disk0.lock"), "w")
    fcntl.flock(held, fcntl.LOCK_EX)
    for target, args, status in (("A", ["--device", "1"], 1), ("A", ["--disk", "0"], 1),
                                 ("B", ["--device", "2"], 0)):
        name = f"another process holds A: upgrade {' '.join(args)} ({target})"
        work = os.path.join(env["RAIDGUI_LOG_DIR"], f"two-{target}-{args[0][2:]}")
        os.mkdir(work)
        flash = [os.path.join(work, "a.flash"), os.path.join(work, "b.flash")]
        simulate = scenario_of(os.path.basename(work), flash_file=flash[0], flash_file_b=flash[1])
        trace = os.path.join(work, "trace")
        run = subprocess.run([raidcli, "firmware", "upgrade", firmware, simulate, "--yes"] + args,
                             capture_output=True, text=True, timeout=300,
                             env=dict(env, RAIDGUI_LOCK_DIR=locks, RAIDGUI_TRACE=trace))
        with open(trace) as f:
            reads_of_a = [line for line in f if line.startswith("READ10 disk=0")]
        problems = []
        if run.returncode != status:
            problems.append(f"exit {run.returncode}, expected {status}")
        if reads_of_a:
            problems.append(f"{len(reads_of_a)} reads were sent to A")
        a_flashed = flash_holds(flash[0], image_bytes)
        b_flashed = flash_holds(flash[1], image_bytes)
        if a_flashed or b_flashed != (target == "B"):
            problems.append(f"flashed: A {a_flashed}, B {b_flashed}")
        if target == "A" and "Device1 (disk 0) is in use by another program." not in run.stderr:
            problems.append("stderr does not say A is in use")
        failed += report(name, problems, run.stdout, run.stderr)
    held.close()
    return failed


if __name__ == "__main__":
    sys.exit(main())
