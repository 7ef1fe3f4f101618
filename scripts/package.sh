#!/usr/bin/env bash
# Makes the release packages in build/release/packages: kestrune_<version>_amd64.deb (Debian) and
# KestruneEn-<version>-windows.zip (both Windows DLLs and kestrune.exe). Builds the release tree and
# the two Windows trees (mingw32, mingw64) first. Prints the packages' paths. A step that fails
# says which and why in one line; its full output is in build/package-<step>.log.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-$(nproc)}
mkdir -p build
fail() {
  echo "package: $*" >&2
  exit 1
}
# Runs a step quietly; on failure names it with the first error line of its output.
step() {  # name, command...
  local name=$1 log=build/package-$1.log
  shift
  if ! "$@" >"$log" 2>&1; then
    local why
    # CMake puts the reason, wrapped, in the lines after "CMake Error at <file>:<line>".
    why=$(awk 'cmake && /^ *$/ { exit }
               cmake { sub(/^ +/, ""); reason = reason (reason == "" ? "" : " ") $0; next }
               /CMake Error at/ { cmake = 1; next }
               tolower($0) ~ /error|cannot|not found|failed/ { print; exit }
               END { if (reason != "") print reason }' "$log")
    [ -n "$why" ] || why=$(tail -n1 "$log")
    fail "$name failed (see $log): $why"
  fi
}
for tool in cpack dpkg-shlibdeps dpkg-deb gzip i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix; do
  command -v "$tool" >/dev/null || fail "$tool is missing: run scripts/install-deps.sh"
done
# What the packages hold: the release tree's plug-in, kestrune and documents; the Windows trees whole.
declare -A targets=([release]="--target kestrune_installed" [mingw32]="" [mingw64]="")
for preset in release mingw32 mingw64; do
  step "configure-$preset" cmake --preset "$preset"
  # shellcheck disable=SC2086
  step "build-$preset" cmake --build --preset "$preset" -j "$jobs" ${targets[$preset]}
done
rm -rf build/release/packages
step deb cpack --config build/release/CPackConfig.cmake
step zip cpack --config build/release/CPackWindows.cmake
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\{0,1\}\([^ ")]*\).*/\1/p' build/release/CPackConfig.cmake | head -n1)
for package in "build/release/packages/kestrune_${version}_amd64.deb" \
  "build/release/packages/KestruneEn-${version}-windows.zip"; do
  [ -f "$package" ] || fail "cpack did not make $package"
  echo "$package"
done
