#!/usr/bin/env bash
# Builds the Debian package from the normal build and checks it: lintian (no
# errors), the desktop entry, the AppStream metadata and, when run as root on
# a machine without raidgui installed, an install with apt-get, the unit's
# verification, a run of the service's command as the service's user that
# ends on SIGTERM with its event log saved, and the removal again.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh build package
cmake --preset default >/dev/null
cmake --build --preset default --target package
deb=$(ls build/default/package/raidgui_*.deb)
echo "Package: $deb"

lintian --fail-on error "$deb"
desktop-file-validate packaging/net.raidgui.RaidGui.desktop
appstreamcli validate --no-net packaging/net.raidgui.RaidGui.metainfo.xml

if [ "$(id -u)" -ne 0 ]; then
  echo "check-package: not root, the install test is skipped"
  exit 0
fi
if dpkg-query -W -f='${Status}' raidgui 2>/dev/null | grep -q "install ok installed"; then
  echo "check-package: raidgui is installed on this machine, the install test is skipped"
  exit 0
fi

work=$(mktemp -d)
cleanup() {
  DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq raidgui >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$deb" >/dev/null
test -x /usr/bin/raidcli && test -x /usr/bin/raidgui
man -w raidcli >/dev/null && man -w raidgui >/dev/null
systemd-analyze verify /lib/systemd/system/raidgui-monitor.service
id -nG raidgui | grep -qw disk
raidcli --version

# The service's command as the service runs it, on the simulated enclosures.
chown raidgui:raidgui "$work"
setpriv --reuid=raidgui --regid=raidgui --init-groups env RAIDGUI_LOG_DIR="$work" RAIDGUI_CONFIG_DIR="$work" \
  raidcli monitor --simulate >"$work/out.txt" 2>&1 &
monitor=$!
sleep 4
kill -TERM "$monitor"
status=0
wait "$monitor" || status=$?
if [ "$status" -ne 0 ]; then
  echo "check-package: the monitor ended with $status on SIGTERM" >&2
  cat "$work/out.txt" >&2
  exit 1
fi
if ! ls "$work"/*.log >/dev/null 2>&1; then
  echo "check-package: the monitor left no event log" >&2
  exit 1
fi
echo "check-package: installed, verified, monitor stopped cleanly on SIGTERM"
