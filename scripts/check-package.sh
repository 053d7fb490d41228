#!/usr/bin/env bash
# Builds the two Debian packages (raidcli, raidgui) from the normal build and
# checks them: lintian, the desktop entry, the AppStream metadata, that raidcli
# pulls in no Qt and, when run as root on a machine where neither is
# installed: an install of both, the unit's verification, a run of the
# service's command as the service's user with the unit's environment that ends
# on SIGTERM with its event log saved, runs as a normal user without
# RAIDGUI_LOG_DIR whose log lands in that user's state folder, and a purge that
# leaves no file of ours in /usr, /etc or /var.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh build package
cmake --preset default >/dev/null
cmake --build --preset default --target package
cli_deb=$(ls build/default/package/raidcli_*.deb)
gui_deb=$(ls build/default/package/raidgui_*.deb)
echo "Packages: $cli_deb $gui_deb"

lintian --fail-on error,warning "$cli_deb" "$gui_deb"
desktop-file-validate packaging/net.raidgui.RaidGui.desktop
appstreamcli validate --no-net packaging/net.raidgui.RaidGui.metainfo.xml
if dpkg-deb -f "$cli_deb" Depends | grep -qi qt; then
  echo "check-package: raidcli depends on Qt: $(dpkg-deb -f "$cli_deb" Depends)" >&2
  exit 1
fi
dpkg-deb -f "$gui_deb" Depends | grep -q "raidcli (= $(dpkg-deb -f "$cli_deb" Version))"
dpkg-deb -f "$gui_deb" Depends | grep -q "fonts-liberation2"

if [ "$(id -u)" -ne 0 ]; then
  echo "check-package: not root, the install test is skipped"
  exit 0
fi
for p in raidcli raidgui; do
  if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    echo "check-package: $p is installed on this machine, the install test is skipped"
    exit 0
  fi
done

work=$(mktemp -d)
chmod 755 "$work"
cleanup() {
  DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq raidgui raidcli >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# Files named after us, so that the purge is judged by what this run left.
named_ours() {
  find /usr /etc /var \( -name '*raidgui*' -o -name '*raidcli*' -o -name 'KT_RAID_GUI*' \) \
    2>/dev/null | sort
}
named_ours >"$work/before.txt"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$cli_deb" "./$gui_deb" >/dev/null
test -x /usr/bin/raidcli && test -x /usr/bin/raidgui
man -w raidcli >/dev/null && man -w raidgui >/dev/null
unit=/lib/systemd/system/raidgui-monitor.service
systemd-analyze verify "$unit"
grep -qx "DeviceAllow=block-sd r" "$unit"
id -nG raidgui | grep -qw disk
raidcli --version
raidgui --version
dpkg -L raidcli raidgui | sort -u >"$work/ours.txt"

# The service's command as the service runs it: its user and groups, the
# unit's environment and folders (systemd makes them from
# ConfigurationDirectory= and LogsDirectory=), on the simulated enclosures.
read -r -a unit_env <<<"$(sed -n 's/^Environment=//p' "$unit")"
read -r -a exec_start <<<"$(sed -n 's/^ExecStart=//p' "$unit")"
install -d -o raidgui -g raidgui -m 0750 /etc/raidgui /var/log/raidgui
setpriv --reuid=raidgui --regid=raidgui --init-groups env -i PATH=/usr/bin:/bin "${unit_env[@]}" \
  "${exec_start[@]}" --simulate >"$work/service.txt" 2>&1 &
monitor=$!
sleep 4
kill -TERM "$monitor"
status=0
wait "$monitor" || status=$?
if [ "$status" -ne 0 ]; then
  echo "check-package: the monitor ended with $status on SIGTERM" >&2
  cat "$work/service.txt" >&2
  exit 1
fi
if ! ls /var/log/raidgui/*.log >/dev/null 2>&1; then
  echo "check-package: the service's command left no event log in /var/log/raidgui" >&2
  exit 1
fi
if ! grep -q "No notification is set up" "$work/service.txt"; then
  echo "check-package: the service did not say that no notification is set up" >&2
  cat "$work/service.txt" >&2
  exit 1
fi

# A normal user, without RAIDGUI_LOG_DIR: the log goes to the user's state
# folder, never beside the executable.
home="$work/home"
install -d -o nobody -m 0700 "$home"
as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups env -i PATH=/usr/bin:/bin HOME="$home")
cd "$work"  # a folder the user cannot write: a stray relative write fails loudly
"${as_user[@]}" raidgui --version
"${as_user[@]}" raidcli status --simulate >"$work/status.txt"
grep -q "No notification is set up" "$work/status.txt"
"${as_user[@]}" raidcli monitor --simulate >"$work/user.txt" 2>&1 &
monitor=$!
sleep 4
kill -TERM "$monitor"
wait "$monitor"
state="$home/.local/state/raidgui"
if ! ls "$state"/*.log >/dev/null 2>&1; then
  echo "check-package: no event log in $state" >&2
  cat "$work/user.txt" >&2
  exit 1
fi
test "$(stat -c %a "$state")" = 700
head -n 1 "$work/user.txt" | grep -qF "event log folder $state"
if ls /usr/bin/*.log /usr/bin/outbox >/dev/null 2>&1; then
  echo "check-package: a log or an outbox was written to /usr/bin" >&2
  exit 1
fi

# A plain remove keeps the settings and logs; a purge takes everything of ours.
DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq raidgui raidcli >/dev/null
test -d /etc/raidgui && test -d /var/log/raidgui
# raidgui has no maintainer scripts and is gone with the remove; dpkg only
# notes that.
dpkg --purge raidgui raidcli >/dev/null 2>&1
left=$(
  while read -r path; do
    if [ ! -d "$path" ] && { [ -e "$path" ] || [ -L "$path" ]; }; then echo "$path"; fi
  done <"$work/ours.txt"
  named_ours | comm -13 "$work/before.txt" -
)
if [ -n "$left" ]; then
  echo "check-package: left after the purge:" >&2
  echo "$left" >&2
  exit 1
fi
echo "check-package: installed, verified, service command and user runs checked, purged clean"
