#!/usr/bin/env bash
# Installs the Debian packages the project needs to build, test and run its demo
# (QEMU and busybox for the driver tests among them),
# the Windows cross compiler (mingw-w64, -posix threads) and Wine included.
# Safe to run again: apt-get skips what is already installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  googletest libgtest-dev libgmock-dev
  nlohmann-json3-dev libcli11-dev help2man libssl-dev
  qt6-base-dev libgl-dev
  xvfb xauth x11-utils xdotool imagemagick fonts-liberation fonts-dejavu-core
  lintian unzip
  g++-mingw-w64-x86-64-posix wine
  clang libclang-rt-14-dev
  qemu-system-x86 busybox-static jq
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
