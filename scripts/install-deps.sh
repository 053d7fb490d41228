#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need. Only packages
# that are missing are installed, so a second run costs nothing.
# Usage: scripts/install-deps.sh [build|test|package|e2e|windows]...
#   build: compilers and libraries (always installed)
#   test:  what the window and mail tests need besides
#   package: the Debian package's checkers (lintian, desktop-file-validate,
#          appstreamcli)
#   e2e:   the end-to-end test in a qemu guest (qemu, nbdkit and its plugin
#          header, a static busybox for the guest, python3 and strip for the
#          host side; the guest kernel is downloaded by the test itself)
#   windows: the MinGW-w64 cross compiler and Wine, which runs its tests
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config googletest libgtest-dev libgmock-dev
          nlohmann-json3-dev libudev-dev libssl-dev qt6-base-dev qt6-svg-dev libgl-dev
          fonts-liberation2 txt2man)
for group in "${@:-build}"; do
  case "$group" in
    build) ;;
    test) packages+=(xvfb xauth python3-aiosmtpd openssl) ;;
    package) packages+=(lintian desktop-file-utils appstream dpkg-dev) ;;
    e2e) packages+=(qemu-system-x86 nbdkit nbdkit-plugin-dev busybox-static python3 binutils) ;;
    windows) packages+=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 googletest
                        python3-aiosmtpd openssl) ;;
    *) echo "install-deps.sh: unknown group '$group' (build, test, package, e2e, windows)" >&2; exit 2 ;;
  esac
done

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
