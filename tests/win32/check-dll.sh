#!/usr/bin/env bash
# A plug-in DLL must load on a bare Windows: it may import system DLLs only, and it exports exactly
# the two entries. With --imports-only (programs) only the imports are checked; with
# --machine i386|x86-64 the file must be built for that processor.
#   check-dll.sh [--machine M] [--imports-only] FILE...
set -euo pipefail
allowed='^(kernel32|user32|gdi32|comctl32|ole32|msvcrt|advapi32)\.dll$'
status=0
exports_too=1
machine=""
if [ "${1:-}" = "--machine" ]; then
  machine=$2
  shift 2
fi
if [ "${1:-}" = "--imports-only" ]; then
  exports_too=0
  shift
fi
for dll in "$@"; do
  format=$(objdump -f "$dll" | awk '/file format/ {print $NF}')  # pei-i386, pei-x86-64
  if [ -n "$machine" ] && [ "$format" != "pei-$machine" ]; then
    echo "$dll is $format, not pei-$machine"
    status=1
  fi
  imports=$(objdump -p "$dll" | awk '/DLL Name:/ {print tolower($3)}')
  for name in $imports; do
    if ! [[ $name =~ $allowed ]]; then
      echo "$dll imports $name, which is not a system DLL"
      status=1
    fi
  done
  exports=$(objdump -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/\[/ && !/Table/ {print $NF}' | sort | tr '\n' ' ')
  if [ $exports_too = 1 ] && [ "$exports" != "VSTPluginMain main " ]; then
    echo "$dll exports '$exports' instead of 'VSTPluginMain main'"
    status=1
  fi
  echo "$dll: imports $(echo $imports | tr '\n' ' '); exports $exports"
done
exit $status
