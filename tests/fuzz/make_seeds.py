#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target into tests/fuzz/corpus/.

Reply and SMART sectors are recorded from the stand-in enclosure: raidcli runs
each scenario with RAIDGUI_TRACE set and the sectors it read become seeds. The
text formats are written from the examples below.

    python3 tests/fuzz/make_seeds.py build/sanitize/cli/raidcli
"""
import glob
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
CORPUS = os.path.join(HERE, "corpus")


def write(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("utf-8")
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data)


def traced_sectors(raidcli, args):
    """The reply sectors raidcli read from the stand-in, in order."""
    with tempfile.TemporaryDirectory() as tmp:
        trace = os.path.join(tmp, "trace.txt")
        env = dict(os.environ, RAIDGUI_TRACE=trace, RAIDGUI_CONFIG_DIR=tmp, RAIDGUI_LOG_DIR=tmp)
        subprocess.run([raidcli] + args, env=env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120, check=False)
        sectors = []
        if os.path.exists(trace):
            for line in open(trace, encoding="ascii", errors="replace"):
                if line.startswith("READ10") and " data=" in line:
                    sectors.append(bytes.fromhex(line.split(" data=")[1].split()[0]))
        return sectors


def distinct(items):
    seen, out = set(), []
    for item in items:
        if item not in seen:
            seen.add(item)
            out.append(item)
    return out


def device_seeds(raidcli):
    scenarios = sorted(glob.glob(os.path.join(ROOT, "sim", "scenarios", "*.json")))
    status, smart = [], []
    for scenario in scenarios:
        status += traced_sectors(raidcli, ["status", "--simulate=" + scenario])
        smart += traced_sectors(raidcli, ["smart", "--simulate=" + scenario])
    status = distinct(status)
    smart = distinct(smart)
    # Three consecutive replies: controller information, drive information and
    # extended status come in that order in a poll.
    for i in range(0, max(0, len(status) - 2), max(1, len(status) // 12)):
        write("status_decode", "stand-in-%02d" % i,
              bytes([i & 7, 0x22]) + status[i] + status[i + 1] + status[i + 2])
    for i in range(0, max(0, len(smart) - 1), max(1, len(smart) // 8)):
        write("smart_table", "stand-in-%02d" % i,
              struct.pack(">I", 0x4000) + smart[i] + smart[i + 1])


def text_seeds():
    ehlo = ("220 mx.example.com ESMTP\r\n"
            "250-mx.example.com\r\n250-PIPELINING\r\n250-AUTH LOGIN PLAIN\r\n"
            "250-AUTH=LOGIN\r\n250-STARTTLS\r\n250 8BITMIME\r\n")
    write("smtp_reply", "ehlo", ehlo)
    write("smtp_reply", "split-reads", "250-mx\x00.example.com\r\n250 AUTH\x00 LOGIN\r\n")
    write("smtp_reply", "errors", "550-no\r\n550 such user \x1b[31m\xc2\x9b\xff\r\n421 bye\n")

    dialogue = ["220 mx ESMTP", "250-mx\r\n250-STARTTLS\r\n250 AUTH LOGIN", "220 go ahead",
                "250-mx\r\n250 AUTH LOGIN PLAIN", "250 reset", "334 VXNlcm5hbWU6",
                "334 UGFzc3dvcmQ6", "235 ok", "250 sender ok", "250 rcpt ok",
                "550 no such user", "354 go", "250 queued", "221 bye"]
    stream = b"\xff".join((line + "\r\n").encode() for line in dialogue)
    for choice, name in ((0x08, "auto-login"), (0x0A, "starttls-login"),
                         (0x09, "none-login"), (0x0F, "tls-465-login"), (0x00, "auto")):
        write("smtp_exchange", name, bytes([choice]) + stream)
    plain = b"\xff".join(s.encode() for s in
                         ["220 mx\r\n", "250-mx\r\n250 AUTH LOGIN\r\n", "250 ok\r\n",
                          "334 x\r\n", "334 y\r\n", "235 ok\r\n", "250 ok\r\n", "250 ok\r\n",
                          "250 ok\r\n", "354 go\r\n", "250 done\r\n"])
    write("smtp_exchange", "auto-no-starttls", b"\x08" + plain)

    write("header_folding", "subject",
          "\x4eSubject\n[RAID GUI v0.50.11 Message] Device1 P0 Hard Disk Drive fail. " * 1 +
          "word " * 40)
    write("header_folding", "utf8", "\x10From\nB\xc3\xb6rn \xe2\x82\xac  long\tname " * 3)
    write("header_folding", "long-word", "\x00Subject\n" + "x" * 200 + " tail")

    write("safe_text", "mixed", "Dock\nD1 HDD1 was removed, [FF] \x1b[2J\xc3\xbc\xff\xed\xa0\x80")
    write("safe_text", "erased", b"\xff" * 40)

    settings = {"SMTP": {"string": "mail.example.com"}, "Port": {"string": "25"},
                "EMailSend": {"dword": 4294967295}, "ProductID": {"binary": "00ff10"},
                "UserName": {"string": "Bj\u00f6rn \"q\" \\"}}
    write("settings_file", "typical", json.dumps(settings, indent=2))
    write("settings_file", "empty", "{}")

    mail = {"created": 1796551200, "nextAttempt": 1796551260, "failures": 1,
            "lastError": "connect: refused", "fromName": "RAID", "fromAddress": "raid@example.com",
            "recipients": ["ops@example.com"], "subject": "Device1 RAID system fail.",
            "body": ["Device1 RAID system fail.", "", "Model no.: WDC"],
            "messageId": "1796551200.1@example.com"}
    write("outbox_file", "typical", json.dumps(mail, indent=2) + "\n")
    write("outbox_file", "no-message-id",
          json.dumps({k: v for k, v in mail.items() if k != "messageId"}))

    write("mail_template", "utf8", "Device%d failed\r\nB\xc3\xb6rn\r\n\r\nlast")
    write("mail_template", "ansi", b"Ger\xe4t \x80 fail\r\r\nzwei\x00drei\n")

    day = ("-" * 83 + "\r\nDevice1 information :\r\nModel# USB RAID Box\r\n"
           "2026/12/06 18:00:00 D1 HDD1 was removed, [WDC]\r\nlone\rCR\nno final break")
    write("log_file", "day", day)

    os.makedirs(os.path.join(CORPUS, "scenario"), exist_ok=True)
    for path in sorted(glob.glob(os.path.join(ROOT, "sim", "scenarios", "*.json"))):
        shutil.copy(path, os.path.join(CORPUS, "scenario", os.path.basename(path)))

    write("mountinfo", "typical",
          "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
          "40 29 8:33 / /media/usb\\040disk rw,nosuid - vfat /dev/sdc1 rw,fmask=0022\n"
          "41 22 0:5 / /dev rw - devtmpfs udev rw\n"
          "42 22 8:17 / /mnt/a-b rw shared:2 master:1 - ext4 /dev/sdb1 rw\n")

    # facts: variant, eight firmware bytes, flash type, flags, claimed length;
    # then the image with its signature and family where the checks read them.
    image = bytearray(4096)
    image[128:132] = b"\x55\xaa\x55\xaa"
    image[149] = 0x12
    image[156:160] = bytes.fromhex("14040325")
    image[160:162] = b"\x00\x01"
    facts = bytes([0]) + bytes.fromhex("1404032500010000") + bytes([0x12, 0]) + bytes(4)
    write("firmware_image", "header", facts + bytes(image))
    write("firmware_image", "short", facts + bytes(image[:161]))
    write("firmware_image", "claims-more", bytes([0]) + bytes(8) + bytes([0, 1]) +
          struct.pack(">I", 8192) + bytes(image))

    # The event log over several days: a start time, which day files an
    # earlier run left (and their bytes), then steps: 0 a mail outcome line,
    # 1 time goes on, 2 a monitor pass, 3 a folder in a day file's place,
    # 4 the oldest such folder goes, 5 a settings line.
    day = ("-" * 83 + "\r\nDevice1 information :\r\nlone\rCR\nno final break").encode()
    later = struct.pack(">I", 5 * 3600 + 1800) + bytes([0b011]) + day + b"\0" + b"tomorrow\r\n\0\0"
    steps = (bytes([2]) + bytes([0]) + b"Send mail Success!\n" + bytes([1, 3, 0]) + bytes([2]) +
             bytes([3 + 8]) + bytes([1, 200, 0]) + bytes([2, 0x82]) + bytes([5]) + b"Buzzer Off, \n" +
             bytes([2]) + bytes([4]) + bytes([0]) + b"after\n")
    write("event_log_days", "two-days", later + steps)
    write("event_log_days", "blocked-today",
          struct.pack(">I", 100) + bytes([0]) + b"\0\0\0" +
          bytes([3, 2, 0]) + b"kept\n" + bytes([1, 255, 255, 2, 4, 2]))
    write("event_log_days", "end-of-run",
          struct.pack(">I", 0x80000000 | 3000) + bytes([0b100]) + b"\0\0later\r\n\0" +
          bytes([3, 0]) + b"kept\n" + bytes([1, 40, 0, 0]) + b"next day\n" + bytes([4]))

    # A disk's sysfs attributes: flags (bit 0 below a USB hub, bits 1-4 which
    # of model, serial, vpd_pg80 and wwid exist), the SCSI device's name, then
    # each attribute as a 16-bit length and its bytes.
    def attribute(data):
        return struct.pack(">H", len(data)) + data
    write("sysfs_text", "usb-enclosure",
          bytes([0b11111]) + b"6:0:0:0\n" + attribute(b"RAID BOX        \n") +
          attribute(b"") + attribute(b"\x00\x80\x00\x0cSER123456789") +
          attribute(b"t10.ATA     SER123456789\n"))
    write("sysfs_text", "padded-internal",
          bytes([0b10110]) + b"0:0:12:1\n" + attribute(b"Samsung SSD\x00\x00\x00\n") +
          attribute(b"  S3Z9NB0K\x1b[31m  \n") + attribute(b"\x00\x80\xff\xffshort"))
    write("sysfs_text", "not-hctl",
          bytes([0b00011]) + b"host6\n" + attribute(b"\xff" * 40))

    # The whole engine on the stand-in enclosures. Each answer takes one
    # instruction: 0 keep it, 1 change up to eight bytes (16-bit offset,
    # value), 2 replace it keeping the signatures, 3 replace it all. An empty
    # input is the stand-in as it is.
    write("engine_replies", "stand-in", b"")
    erased = bytes([1 | (7 << 2)]) + b"".join(bytes([0, 54 + i, 0xFF]) for i in range(8))
    write("engine_replies", "erased-names", erased * 60)
    import random
    pick = random.Random(24)
    garbled = b"".join(bytes([0]) * pick.randrange(4) + bytes([2]) +
                       bytes(pick.randrange(256) for _ in range(512)) for _ in range(6))
    write("engine_replies", "garbled-answers", garbled)
    write("engine_replies", "unsigned-then-stand-in", bytes([0] * 5 + [3]) + bytes(512))

    write("sg_classify", "check-condition",
          bytes([0, 0x02, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 18, 1]) +
          bytes([0x70, 0, 0x06, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x29, 0, 0, 0, 0, 0]))
    write("sg_classify", "descriptor-sense",
          bytes([0, 0x02, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 8, 1]) +
          bytes([0x72, 0x05, 0x24, 0x00, 0, 0, 0, 0]))
    write("sg_classify", "host-error", bytes([0, 0, 0, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0]))


def regression(target, name, data):
    folder = os.path.join(HERE, "regressions", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data if isinstance(data, bytes) else data.encode("utf-8"))


def swapped(text, length):
    raw = text.encode("latin-1").ljust(length, b" ")[:length]
    return bytes(raw[i ^ 1] for i in range(length))


def regression_inputs():
    """Inputs that once found a fault, kept so that every run replays them."""
    # One reply line of distinct AUTH words: the mechanism list was searched
    # linearly for every word.
    words = " ".join("M%d" % i for i in range(9000))
    regression("smtp_reply", "ehlo-distinct-auth-words",
               "250-mx\r\n250-AUTH " + words + "\r\n250 AUTH LOGIN\r\n")
    # An enclosure name that forged a drive-removal line in the day file, and
    # an erased name area that made the metrics file non-UTF-8.
    for name, area in (("forged-log-line", swapped("Dock\nD1 HDD1 was removed, [FF] forged", 40)),
                       ("erased-name-area", b"\xff" * 40),
                       ("escape-sequence-name", swapped("\x1b[2J\x1b]0;x\x07Box", 40))):
        sector = bytearray(512)
        sector[54:94] = area
        regression("status_decode", name, bytes([1, 0x22]) + bytes(sector) + bytes(1024))
        regression("safe_text", name, area)
    # Times of a waiting mail that overflowed its age or kept it for ever.
    mail = {"created": 0, "nextAttempt": 0, "failures": 1, "lastError": "", "fromName": "R",
            "fromAddress": "r@example.com", "recipients": ["o@example.com"], "subject": "s",
            "body": ["b"]}
    for name, created, attempt in (("created-smallest", -9223372036854775808, 0),
                                   ("created-largest", 9223372036854775807, 0),
                                   ("attempt-never", 1796551200, 9223372036854775807)):
        regression("outbox_file", name,
                   json.dumps(dict(mail, created=created, nextAttempt=attempt)))
    # A day file that could not be read (a folder stood in its place) and then
    # went away: the lines kept in memory were never saved that day.
    regression("event_log_days", "unreadable-then-gone",
               struct.pack(">I", 100) + bytes([0]) + b"\0\0\0" + bytes([3, 0]) + b"kept\n" +
               bytes([4]))
    # A mount point with an escaped NUL.
    regression("mountinfo", "escaped-nul", "36 35 8:17 / /mnt\\000x rw - ext4 /dev/sdb1 rw\n")
    # Server texts with C1 controls and bytes that are no UTF-8.
    regression("smtp_exchange", "c1-and-invalid-utf8",
               b"\x00" + b"\xff".join([b"220 mx\r\n", b"250 mx\r\n", b"250 ok\r\n",
                                        b"550 \xc2\x9b\xc0\xaf\x1b[31m bad\r\n"]))


def main():
    text_seeds()
    regression_inputs()
    if len(sys.argv) > 1:
        device_seeds(sys.argv[1])


if __name__ == "__main__":
    main()
