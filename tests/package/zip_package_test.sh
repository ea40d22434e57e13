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
echo "1 passed, 0 failed"
exit 0
