#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need. Only packages
# that are missing are installed, so a second run costs nothing.
# Usage: scripts/install-deps.sh [build|test]
set -euo pipefail

mode=${1:-build}
packages=(g++ cmake ninja-build pkg-config googletest libgtest-dev libgmock-dev
          nlohmann-json3-dev libudev-dev qt6-base-dev qt6-svg-dev libgl-dev
          fonts-liberation2)
if [ "$mode" = test ]; then
  packages+=(xvfb xauth)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
