#!/usr/bin/env bash
# Builds the release tree and runs the main job: the command-line host renders its embedded demo
# signal through the effect beside it (KestruneEn.so, or the test effect until that exists) into
# build/demo.wav, draws the effect's editor window (opened through the plug-in's own entry, on its
# headless platform) into build/editor.png, then prints what the effect reports.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
build/release/bin/kestrune render build/demo.wav
echo "kestrune: wrote build/demo.wav"
build/release/bin/kestrune editor --png build/editor.png
echo "kestrune: wrote build/editor.png"
build/release/bin/kestrune info
