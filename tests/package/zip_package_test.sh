#!/usr/bin/env bash
# The Windows release zip holds the program, its README and the licence, and nothing to install.
#   zip_package_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cpack --config "$build/CPackConfig.cmake" -B "$work" >/dev/null
listing=$(unzip -Z1 "$work"/kulverant-*-win32.zip | sort | tr '\n' ' ')
[ "$listing" = "LICENSE.txt README.txt kulverant.exe " ] || { echo "FEHLER: Inhalt: $listing" >&2; exit 1; }
size=$(unzip -Zl "$work"/kulverant-*-win32.zip kulverant.exe | awk '/kulverant.exe/ {print $4}')
[ "$size" -lt 1048576 ] || { echo "FEHLER: kulverant.exe hat $size Bytes" >&2; exit 1; }
# Exactly the program that the tests ran, which imports only Windows' own DLLs.
unzip -q "$work"/kulverant-*-win32.zip kulverant.exe -d "$work"
cmp "$work/kulverant.exe" "$build/bin/kulverant.exe" || { echo "FEHLER: nicht das getestete Programm" >&2; exit 1; }
imports=$(i686-w64-mingw32-objdump -p "$work/kulverant.exe" | awk '/DLL Name:/ {print toupper($3)}' | sort | tr '\n' ' ')
[ "$imports" = "GDI32.DLL KERNEL32.DLL MSVCRT.DLL USER32.DLL " ] || { echo "FEHLER: importiert $imports" >&2; exit 1; }
# Windows XP SP3 loads it: it imports only functions known to exist there, and
# asks for no newer Windows than XP (5.1) in its header.
headers=$(i686-w64-mingw32-objdump -p "$work/kulverant.exe")
unknown=$(awk '/DLL Name:/ {dll = toupper($3); next} dll && /^\t[0-9a-f]+\t/ {print dll, $3}' <<<"$headers" | sort \
  | comm -23 - <(grep -v '^#' "$(dirname "$0")/../../packaging/windows-xp-imports.txt" | sort))
[ -z "$unknown" ] || { echo "FEHLER: nicht als in Windows XP SP3 vorhanden geprüft: $unknown" >&2; exit 1; }
for kind in OSystem Subsystem; do
  version=$(awk -v k="$kind" '$1 == "Major" k "Version" {major = $2} $1 == "Minor" k "Version" {print major * 100 + $2}' <<<"$headers")
  [ "$version" -le 501 ] || { echo "FEHLER: $kind-Version $version verlangt ein neueres Windows als XP" >&2; exit 1; }
done
echo "1 passed, 0 failed"
exit 0
