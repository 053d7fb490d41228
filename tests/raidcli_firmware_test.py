#!/usr/bin/env python3
"""raidcli firmware check/upgrade against the stand-in, faults included, and
the enclosure lock of every verb that talks to an enclosure.

usage: raidcli_firmware_test.py RAIDCLI SOURCE_DIR
Each case runs the real binary and checks its exit status and texts; a case
that hangs fails on its time-out.
"""
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

    cases = [
        # name, args, stdin, exit status, texts on stdout, texts on stderr
        ("check accepts", ["firmware", "check", good, "--simulate"], "", 0,
         ["Chksum:", "F:14040310 C:14040310", "Verdict: accepted"], []),
        ("check refuses another product", ["firmware", "check", other, "--simulate"], "", 1,
         ["Verdict: refused"], ["The firmware is not for this product."]),
        ("check refuses a short file", ["firmware", "check", short, "--simulate"], "", 1,
         ["Verdict: refused"], ["too short (100 bytes)"]),
        ("upgrade", ["firmware", "upgrade", good, "--simulate", "--yes"], "", 0,
         ["Process 1 / 3", "SPI Erase OK", "SPI Program OK", "SPI Verify OK",
          "Firmware Upgrade 3/3 completed!"], []),
        ("upgrade asks first: no", ["firmware", "upgrade", good, "--simulate"], "n\n", 1,
         ["[y/N]", "Cancelled."], []),
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
    # Another process of ours holds disk 0 for the whole run: raidcli waits
    # for it a bounded time, then passes it by and finds only disk 1.
    locks = os.path.join(work, "locks")
    os.mkdir(locks)
    held = open(os.path.join(locks, "disk0.lock"), "w")
    fcntl.flock(held, fcntl.LOCK_EX)
    cases.append(("an enclosure locked by another process is passed by",
                  ["firmware", "check", good, "--simulate", "--lock-dir=" + locks], "", 0,
                  ["Device1 (disk 1)", "Verdict: accepted"], []))
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
                      [verb, simulate, "--lock-dir=" + every], "", 1, [], ["No Drive found!"]))

    failed = 0 if stop_signals_wait(raidcli, env, path("stop.bin", image(16384))) else 1
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
        if problems:
            failed += 1
            print(f"FAIL {name}: " + "; ".join(problems))
            print("--- stdout\n" + run.stdout + "--- stderr\n" + run.stderr)
        else:
            print(f"ok   {name}")
    return 1 if failed else 0


def stop_signals_wait(raidcli, env, firmware):
    """Ctrl+C and SIGTERM in the middle of programming: the upgrade goes on to
    its end and says that it held them back."""
    name = "stop signals wait for the end of the upgrade"
    run = subprocess.Popen([raidcli, "firmware", "upgrade", firmware, "--simulate", "--yes"],
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
    seen = []
    for line in run.stdout:
        seen.append(line)
        if line.startswith("Process 2 / 3"):
            run.send_signal(signal.SIGINT)
            run.send_signal(signal.SIGTERM)
            break
    try:
        rest, err = run.communicate(timeout=120)
    except subprocess.TimeoutExpired:
        run.kill()
        print(f"FAIL {name}: hung")
        return False
    out = "".join(seen) + rest
    problems = []
    if run.returncode != 0:
        problems.append(f"exit {run.returncode}, expected 0")
    if "Firmware Upgrade 3/3 completed!" not in out:
        problems.append("no completion text")
    if "held back until the upgrade ended" not in err:
        problems.append("stderr does not say the signal was held back")
    if problems:
        print(f"FAIL {name}: " + "; ".join(problems))
        print("--- stdout\n" + out + "--- stderr\n" + err)
        return False
    print(f"ok   {name}")
    return True


if __name__ == "__main__":
    sys.exit(main())
