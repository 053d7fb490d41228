#!/usr/bin/env bash
# Installs what is needed, builds with address and undefined-behaviour
# sanitizers and warnings as errors, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

# The end-to-end test (ctest label e2e) runs with the rest; in CI (CI=true) its
# configuration fails rather than skip it when its tools are missing.
groups=(test)
if [ "$(uname -s)" = Linux ]; then
  groups+=(e2e)
fi
bash scripts/install-deps.sh "${groups[@]}"
cmake --preset sanitize
cmake --build --preset sanitize
ctest --preset sanitize "$@"

# Every run above replays the kept fuzzing inputs (ctest fuzz_replay.*).
# A full run (no ctest arguments) also builds and checks the Debian package,
# builds the Windows programs and runs their tests under Wine, and, where
# clang 14 is installed, fuzzes every target for a bounded time:
# RAIDGUI_FUZZ_SECONDS a target (20 by default in a full run; 0 leaves the
# fuzz run out, and with ctest arguments it runs only when set). The run uses
# a fixed seed, RAIDGUI_FUZZ_SEED, so that a finding can be had again.
fuzz_seconds=${RAIDGUI_FUZZ_SECONDS:-}
if [ $# -eq 0 ] && [ "$(uname -s)" = Linux ]; then
  bash scripts/check-package.sh
  bash scripts/test-windows.sh
  fuzz_seconds=${fuzz_seconds:-20}
fi
if [ -n "$fuzz_seconds" ] && [ "$fuzz_seconds" != 0 ]; then
  RAIDGUI_FUZZ_SEED=${RAIDGUI_FUZZ_SEED:-1} bash scripts/fuzz.sh "$fuzz_seconds"
fi
