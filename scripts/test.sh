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
  # A test that fails is run once more: the end-to-end tests drive programs of others (Wine, Xvfb,
  # a JACK server, jalv) whose start-up timing a loaded machine can upset. A second failure fails.
  ctest --preset "$preset" -j "$jobs" --repeat until-pass:2 "$@"
}
echo "=== source format"
scripts/check-format.sh
# The interface records' layouts are pinned by static_asserts; the Windows ones (32-bit, and 64-bit
# with a 4-byte long) are checked by the Windows compilers.
for compiler in i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix; do
  echo "=== record layout: $compiler"
  echo '#include "vst/DAEffect.h"' | $compiler -std=c++20 -fsyntax-only -Wall -Wextra -Werror -I. -x c++ -
done
run asan
run tsan -L threads
if [ -x scripts/fuzz.sh ]; then scripts/fuzz.sh; fi
run release
# The release packages, built from the release tree and both Windows trees, checked as a user meets them.
echo "=== packages"
made=$(JOBS=$jobs scripts/package.sh)
mapfile -t packages <<<"$made"
scripts/check-packages.sh "${packages[@]}"
