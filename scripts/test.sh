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

# Every run above replays the kept fuzzing inputs (ctest fuzz_replay.*). A
# bounded fuzz run needs its own clang build, so it runs only when asked:
# RAIDGUI_FUZZ_SECONDS=3 bash scripts/test.sh (skipped without clang 14).
if [ -n "${RAIDGUI_FUZZ_SECONDS:-}" ]; then
  bash scripts/fuzz.sh "$RAIDGUI_FUZZ_SECONDS"
fi

# A full run (no ctest arguments) also builds and checks the Debian package,
# and builds the Windows programs and runs their tests under Wine.
if [ $# -eq 0 ] && [ "$(uname -s)" = Linux ]; then
  bash scripts/check-package.sh
  bash scripts/test-windows.sh
fi
