#!/usr/bin/env bash
# Builds the libFuzzer target for stored image data (clang, AddressSanitizer + UndefinedBehaviorSanitizer)
# and runs it for a bounded time over the committed seed corpus. A find leaves its input under
# <build>/fuzz-artifacts/ and fails the script; turn it into a regression test.
#   KESTRUNE_FUZZ_SECONDS  run time (default 75)     KESTRUNE_FUZZ_BUILD  build tree (default build/fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${KESTRUNE_FUZZ_BUILD:-build/fuzz}
seconds=${KESTRUNE_FUZZ_SECONDS:-75}
echo "=== fuzz (${seconds}s)"
cmake --preset fuzz -B "$build" -DKESTRUNE_SANITIZE=address,undefined,fuzzer-no-link -DKESTRUNE_WERROR=OFF >/dev/null
cmake --build "$build" --target fuzz_dib_data -j "${KESTRUNE_FUZZ_JOBS:-$(nproc)}"
work="$build/fuzz-corpus"  # new inputs go here; the committed seeds stay untouched
mkdir -p "$work" "$build/fuzz-artifacts"
log="$build/fuzz.log"  # the fuzzer's progress lines stay in the log unless it finds something
if ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "$build/bin/fuzz_dib_data" -max_total_time="$seconds" -max_len=16384 -rss_limit_mb=2048 -timeout=20 \
  -print_final_stats=1 -artifact_prefix="$build/fuzz-artifacts/" "$work" tests/fuzz/corpus >"$log" 2>&1; then
  grep -E '^stat::(number_of_executed_units|new_units_added|peak_rss_mb)' "$log" || true
  echo "fuzz: nothing found"
else
  cat "$log"
  echo "fuzz: FAILED (input saved under $build/fuzz-artifacts/)"
  exit 1
fi
