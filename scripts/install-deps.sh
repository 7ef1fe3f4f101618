#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need on Debian 12. Idempotent.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
packages=(
  build-essential cmake ninja-build pkg-config git ccache
  libgtest-dev libgmock-dev libbenchmark-dev
  libsndfile1-dev libcli11-dev libpng-dev libfreetype-dev fonts-dejavu-core fonts-dejavu-extra
  clang libclang-rt-14-dev clang-format
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  dpf-plugins-vst
  libx11-dev libxext-dev libxtst-dev xvfb x11-utils
  wine wine32:i386 wine64 xauth
  lintian
  lv2-dev lilv-utils sordi jalv jackd2
)
# The Windows build's tests run the 32-bit DLL and its test host under Wine, which needs i386 packages
# (the 64-bit ones run under wine64).
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
