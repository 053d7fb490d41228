#!/usr/bin/env bash
# Installs what is needed, builds with address and undefined-behaviour
# sanitizers and warnings as errors, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh test
cmake --preset sanitize
cmake --build --preset sanitize
ctest --preset sanitize "$@"
