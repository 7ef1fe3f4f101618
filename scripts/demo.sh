#!/usr/bin/env bash
# Builds the release tree and runs the main job: the command-line host on the embedded default.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
build/release/bin/kestrune info
