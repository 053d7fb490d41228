#!/usr/bin/env python3
"""raidcli.exe under Wine prints what the Linux raidcli prints.

The same verbs, on the same built-in stand-ins, with the same (empty) settings
folder and time zone, through both programs; Windows ends its lines with CR LF,
and joins a file name to the settings folder with a backslash: the only
differences allowed.

usage: raidcli_wine_status_test.py WINE RAIDCLI_EXE LINUX_RAIDCLI SOURCE_DIR
"""

import os
import re
import subprocess
import sys
import tempfile

WINE, EXE, LINUX, SOURCE = sys.argv[1:5]
FAILURES = []

VERBS = [
    ["status", "--simulate"],
    ["status", "--simulate", "--json"],
    ["smart", "--simulate", "--device", "1"],
    ["schedule", "--simulate=" + os.path.join(SOURCE, "sim/scenarios/hybrid_6h.json")],
    ["--version"],
]


def run(command, env, settings):
    done = subprocess.run(command, env=env, capture_output=True, timeout=300)
    out = done.stdout.replace(b"\r\n", b"\n")
    # "<folder>/KT_RAID_GUI.json", "<folder>\KT_RAID_GUI.json" or, in JSON, "<folder>\\...".
    out = re.sub(re.escape(settings.encode()) + rb"(/|\\\\|\\)", b"<settings>/", out)
    return done.returncode, out


with tempfile.TemporaryDirectory(prefix="raidcli-wine-") as settings:
    env = dict(os.environ, RAIDGUI_CONFIG_DIR=settings, TZ="UTC", LC_ALL="C")
    for verb in VERBS:
        # A scenario path is the same file for both: Wine reaches / as a drive.
        linux_rc, linux_out = run([LINUX] + verb, env, settings)
        wine_rc, wine_out = run([WINE, EXE] + verb, env, settings)
        if (linux_rc, linux_out) != (wine_rc, wine_out):
            FAILURES.append(" ".join(verb))
            print("FAIL: raidcli %s differs (exit %d on Linux, %d under Wine)"
                  % (" ".join(verb), linux_rc, wine_rc))
            print("--- Linux\n" + linux_out.decode(errors="replace"))
            print("--- Wine\n" + wine_out.decode(errors="replace"))
        elif not linux_out:
            FAILURES.append(" ".join(verb))
            print("FAIL: raidcli %s printed nothing" % " ".join(verb))
        else:
            print("same: raidcli %s (%d lines)" % (" ".join(verb), linux_out.count(b"\n")))

sys.exit(1 if FAILURES else 0)
