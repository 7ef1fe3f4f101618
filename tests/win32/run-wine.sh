#!/usr/bin/env bash
# Runs a Windows program under Wine with a virtual X server of its own:
#   run-wine.sh [--dpi N] <output folder> <program.exe> [arguments...]
# The program runs in the output folder. The Wine prefix lives in the output folder too and is made
# on the first run only (the slow part); nothing outside the build tree is touched. A 64-bit program
# runs under the 64-bit Wine in a 64-bit prefix, so one output folder serves one width. With --dpi
# the prefix is made with the display at N dots per inch (96 otherwise), so an output folder also
# serves one density.
set -euo pipefail
dpi=
if [ "${1:-}" = --dpi ]; then
  dpi=$2
  shift 2
fi
out=$1
shift
mkdir -p "$out"
export WINEPREFIX="$out/prefix" WINEDEBUG=-all
# No downloads of optional runtimes when the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [[ $(objdump -f "$1") == *"file format pei-x86-64"* ]]; then
  export WINEARCH=win64
  wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
else
  export WINEARCH=win32
  wine=wine
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >"$out/wineboot.log" 2>&1
  wineserver -w
fi
# The density of the display settings, which a DPI-aware program sees in its windows. The program
# learns what to expect from KESTRUNE_WINE_DPI.
if [ -n "$dpi" ]; then
  export KESTRUNE_WINE_DPI=$dpi
  if ! grep -qi "\"LogPixels\"=dword:$(printf %08x "$dpi")" "$WINEPREFIX/user.reg"; then
    "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >>"$out/wineboot.log" 2>&1
    wineserver -w
  fi
fi
cd "$out"
status=0
xvfb-run -a -s "-screen 0 1280x1024x24" "$wine" "$@" || status=$?
wineserver -k 2>/dev/null || true
exit $status
