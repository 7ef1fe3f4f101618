#!/usr/bin/env bash
# Checks the release packages as a user meets them:
#   check-packages.sh <kestrune_V_amd64.deb> <KestruneEn-V-windows.zip>
# The .deb: lintian without errors or warnings (overrides are justified in the package), files
# under /usr only, an unpacked copy whose kestrune finds its plug-in and renders, and dpkg installing
# it over an older version and removing it without leftovers (in a scratch root). The zip: exactly
# the listed files, each DLL and program built for its processor and importing system DLLs only.
set -euo pipefail
fail() {
  echo "check-packages: $*" >&2
  exit 1
}
[ $# -eq 2 ] || fail "usage: check-packages.sh <kestrune_V_amd64.deb> <KestruneEn-V-windows.zip>"
for package in "$@"; do
  [ -f "$package" ] || fail "$package: no such file"
done
for tool in lintian dpkg dpkg-deb dpkg-query objdump md5sum cmake; do
  command -v "$tool" >/dev/null || fail "$tool is missing: run scripts/install-deps.sh"
done
deb=$(realpath "$1") zip=$(realpath "$2")
here=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

echo "--- lintian $(basename "$deb")"
# Every remark, with the overrides and their reasons; then the verdict (overrides shown count as
# failures to lintian, so that is a run of its own).
{ lintian --display-info --show-overrides "$deb" 2>&1 || true; } | { grep -v "running with root privileges" || true; }
lintian --fail-on error,warning "$deb" >/dev/null 2>&1 || fail "lintian reports errors or warnings"

echo "--- contents"
outside=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '^\./usr/' | grep -v '^\./$' || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"
dpkg-deb -c "$deb" | awk '{print $3, $6}'

echo "--- unpacked: kestrune finds its plug-in and renders"
dpkg-deb -x "$deb" "$scratch/unpacked"
kestrune=$scratch/unpacked/usr/bin/kestrune
info=$("$kestrune" info) || fail "the unpacked kestrune info failed: $info"
grep -q "^effect name     KestruneEn$" <<<"$info" || fail "the unpacked kestrune does not report KestruneEn"
grep -q "^flags           0x19 " <<<"$info" || fail "the unpacked KestruneEn reports other flags: $(grep ^flags <<<"$info")"
"$kestrune" render --program 2 "$scratch/demo.wav" || fail "the unpacked kestrune does not render"
[ "$(stat -c %s "$scratch/demo.wav")" -gt 100000 ] || fail "the unpacked kestrune rendered a short file"
echo "info and render: ok"

echo "--- dpkg: over an older version, then removed"
root=$scratch/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
# An older version: the same files, one more that the new version no longer has.
dpkg-deb -R "$deb" "$scratch/old"
sed -i 's/^Version: .*/Version: 0.9.0/' "$scratch/old/DEBIAN/control"
echo "from the older version" >"$scratch/old/usr/share/doc/kestrune/OLD.txt"
(cd "$scratch/old" && find usr -type f -exec md5sum {} + >DEBIAN/md5sums)
dpkg-deb --root-owner-group -b "$scratch/old" "$scratch/old.deb" >/dev/null
# dpkg in the scratch root; on failure, the failing step and dpkg's last line, its reason.
dpkg_root() {  # what, dpkg arguments...
  local what=$1
  shift
  dpkg --root="$root" --force-depends,script-chrootless,not-root --log=/dev/null "$@" >"$scratch/dpkg.log" 2>&1 \
    || fail "dpkg could not $what: $(tail -n1 "$scratch/dpkg.log")"
}
dpkg_root "install the older version" -i "$scratch/old.deb"
dpkg_root "install $(basename "$deb") over the older version" -i "$deb"
[ ! -e "$root/usr/share/doc/kestrune/OLD.txt" ] || fail "the older version's file was left behind by the upgrade"
installed=$(dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Version}' kestrune)
[ "$installed" = "$(dpkg-deb -f "$deb" Version)" ] || fail "dpkg reports version $installed after the upgrade"
"$root/usr/bin/kestrune" info | grep -q "^effect name     KestruneEn$" || fail "the installed kestrune does not find KestruneEn"
dpkg_root "remove kestrune" --purge kestrune
left=$(cd "$root" && find . -mindepth 1 -not -path './var/lib/dpkg*' -not -type d)
[ -z "$left" ] || fail "removing kestrune left: $left"
left=$(cd "$root" && find usr -mindepth 1 2>/dev/null || true)
[ -z "$left" ] || fail "removing kestrune left folders: $left"
echo "upgrade and removal: ok"

echo "--- $(basename "$zip")"
listed=$(cmake -E tar tf "$zip" | grep -v "/$" | sort)
expected=$(printf '%s\n' README.txt x64/KestruneEn.dll x64/kestrune.exe x86/KestruneEn.dll x86/kestrune.exe)
[ "$listed" = "$expected" ] || fail "the zip holds $(echo $listed) instead of $(echo $expected)"
mkdir "$scratch/zip" && (cd "$scratch/zip" && cmake -E tar xf "$zip")
for file in x86/KestruneEn.dll x64/KestruneEn.dll x86/kestrune.exe x64/kestrune.exe; do
  machine=i386 only=()
  if [[ $file == x64/* ]]; then machine=x86-64; fi
  if [[ $file == *.exe ]]; then only=(--imports-only); fi
  report=$("$here/tests/win32/check-dll.sh" --machine $machine "${only[@]}" "$scratch/zip/$file") \
    || fail "$(head -n1 <<<"$report")"
done
grep -q 'x64\\KestruneEn.dll' "$scratch/zip/README.txt" && grep -q 'x86\\KestruneEn.dll' "$scratch/zip/README.txt" \
  || fail "README.txt does not say which DLL goes with which host"
(cd "$scratch/zip" && find . -type f -printf '%s %P\n' | sort -k2)
echo "packages: ok"
