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
run asan
run tsan -L threads
run release
if [ -x scripts/fuzz.sh ]; then scripts/fuzz.sh; fi
