#!/usr/bin/env bash
# Builds and runs every test: sanitizer builds (address+undefined, thread) and the release build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)
run() {  # preset, extra ctest args...
  local preset=$1; shift
  echo "=== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs" "$@"
}
echo "=== source format"
scripts/check-format.sh
# The effect record's 32-bit layout is pinned by static_asserts that only a 32-bit compiler checks.
echo "=== 32-bit record layout"
echo '#include "vst/DAEffect.h"' | i686-w64-mingw32-g++-posix -std=c++20 -fsyntax-only -Wall -Wextra -Werror -I. -x c++ -
run asan
run tsan -L threads
if [ -x scripts/fuzz.sh ]; then scripts/fuzz.sh; fi
run release
