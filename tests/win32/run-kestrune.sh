#!/usr/bin/env bash
# kestrune.exe under Wine renders what the Linux kestrune renders, through the DLL and the .so:
#   run-kestrune.sh <output folder> <linux kestrune> <KestruneEn.so> <kestrune.exe>
# Leaves pairs of renderings (*-win32.wav, *-linux.wav) in the output folder for the comparison
# test: the demo signal with a program, parameters and odd blocks, and a 24-bit input file.
set -euo pipefail
out=$1 kestrune=$2 so=$3 exe=$4
here=$(dirname "$0")
mkdir -p "$out"
cd "$out"
rm -f kestrune-*.wav
settings=(--program 2 --set Speed=0.3 --set Feedback=0.4 --block 100)
"$kestrune" render --plugin "$so" --encoding 24 --tail 0 kestrune-input.wav
"$kestrune" render --plugin "$so" "${settings[@]}" kestrune-demo-linux.wav
"$kestrune" render --plugin "$so" "${settings[@]}" kestrune-input.wav kestrune-file-linux.wav
"$here/run-wine.sh" "$out" "$exe" render "${settings[@]}" kestrune-demo-win32.wav
"$here/run-wine.sh" "$out" "$exe" render "${settings[@]}" kestrune-input.wav kestrune-file-win32.wav
# Bad values give one clear line and leave nothing behind.
if "$here/run-wine.sh" "$out" "$exe" render missing.wav kestrune-bad.wav 2>err.txt; then
  echo "a missing input was accepted"
  exit 1
fi
grep -q "cannot read 'missing.wav'" err.txt
test ! -e kestrune-bad.wav
# Damaged inputs: a cut-off file, no channels, a chunk claiming 4 GiB. Each ends in a render of what
# is there or in one line of error, never in a crash or a partial output.
head -c 3001 kestrune-input.wav >bad-cut.wav
cp kestrune-input.wav bad-channels.wav
printf '\x00\x00' | dd of=bad-channels.wav bs=1 seek=22 conv=notrunc status=none
cp kestrune-input.wav bad-chunk.wav
printf '\xff\xff\xff\xff' | dd of=bad-chunk.wav bs=1 seek=16 conv=notrunc status=none
for bad in bad-cut bad-channels bad-chunk; do
  status=0
  "$here/run-wine.sh" "$out" "$exe" render "$bad.wav" "kestrune-$bad.wav" 2>err.txt || status=$?
  if [ $status -eq 0 ]; then
    test -s "kestrune-$bad.wav"
  elif [ $status -ne 1 ] || [ "$(grep -c "^kestrune:" err.txt)" -ne 1 ] || ! grep -q "^kestrune: cannot read '$bad.wav'" err.txt; then
    echo "$bad.wav: status $status, $(cat err.txt)"
    exit 1
  else
    test ! -e "kestrune-$bad.wav"
  fi
done
rm -f bad-*.wav kestrune-bad-*.wav err.txt
