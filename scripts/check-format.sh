#!/usr/bin/env bash
# Fails when a tracked C++ source file differs from what clang-format makes of it (.clang-format).
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.c' '*.hpp')
if [ "${#files[@]}" -eq 0 ]; then exit 0; fi
clang-format --dry-run --Werror "${files[@]}"
echo "format: ${#files[@]} files checked"
