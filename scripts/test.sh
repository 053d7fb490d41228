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

# A full run (no ctest arguments) also builds and checks the Debian package.
if [ $# -eq 0 ] && [ "$(uname -s)" = Linux ]; then
  bash scripts/check-package.sh
fi
