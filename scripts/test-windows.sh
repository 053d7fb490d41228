#!/usr/bin/env bash
# The Windows build: raidcli.exe and the unit tests cross-compiled with
# MinGW-w64, the tests run under Wine. Compares raidcli.exe with the Linux
# raidcli of build/sanitize when that one is built.
# Usage: scripts/test-windows.sh [ctest arguments]
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh windows
linux_raidcli="$PWD/build/sanitize/cli/raidcli"
extra=()
if [ -x "$linux_raidcli" ]; then
  extra=(-DRAIDGUI_LINUX_RAIDCLI="$linux_raidcli")
fi
cmake --preset windows "${extra[@]}"
cmake --build --preset windows
ctest --preset windows "$@"
