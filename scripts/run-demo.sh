#!/usr/bin/env bash
# Installs what is needed, builds, and runs RAID GUI on its built-in simulated
# enclosures.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh build
cmake --preset default
# Only the programs: the tests are the other command's business.
targets=(raidcli)
known=$(ninja -C build/default -t targets all 2>/dev/null || true)
if grep -q '^raidgui:' <<<"$known"; then
  targets+=(raidgui)
fi
cmake --build --preset default --target "${targets[@]}"

if [ -x build/default/ui/raidgui ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/default/ui/raidgui --simulate "$@"
fi
if [ -x build/default/ui/raidgui ]; then
  echo "No display found: running the headless monitor instead (Ctrl+C ends it)."
else
  echo "The window was not built (Qt 6 missing): running the headless monitor (Ctrl+C ends it)."
fi
exec build/default/cli/raidcli monitor --simulate "$@"
