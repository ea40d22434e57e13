#!/usr/bin/env bash
# The shipped kulverant.exe itself, unpacked from the release zip, under
# Wine's 32-bit half run by qemu (see wine32-qemu), as on a kernel that runs
# no 32-bit code: the rows of cases.tsv that a 32-bit build can break, the
# window driven with real keys and clicks, and its layout at 96 and 144 dpi.
# Where the kernel runs 32-bit code, the Windows tests ran this very program
# natively (the zip test compares the two).
#   shipped_exe_test.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
tests=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
prefix=$work/wineprefix
trap 'WINEPREFIX=$prefix PATH=$prefix.bin:$PATH wineserver --kill 2>/dev/null || true; rm -rf "$work"' EXIT

unshare --user --map-root-user --mount sh -c 'mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc' || {
  echo "übersprungen: kein binfmt_misc in einem eigenen Benutzernamensraum (Linux 6.7, nicht in chroot)" >&2
  exit 77
}
"$tests/wine/wine32-root" "$build/wine32-root"
printf '#!/bin/sh\nexec %q %q "$@"\n' "$tests/wine/wine32-qemu" "$build/wine32-root" >"$work/qemu"
chmod +x "$work/qemu"
export KULVERANT_WINE32_RUNNER=$work/qemu
cpack --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null
unzip -q "$work"/package/kulverant-*-win32.zip kulverant.exe -d "$work/shipped"
exe=$work/shipped/kulverant.exe
file -b "$exe" | grep -q '^PE32 ' || { echo "FEHLER: kein 32-Bit-Programm: $(file -b "$exe")" >&2; exit 1; }
# Beside it what the tests run too, where a Wine under qemu sees it.
cp -r "$build/bin/win32_program_tests.exe" "$build/bin/planted" "$KULVERANT_UTF8_CODE_PAGE" "$work/shipped/"
export KULVERANT_UTF8_CODE_PAGE=$work/shipped/$(basename "$KULVERANT_UTF8_CODE_PAGE")

failures=0
step() {
  echo "== $1" >&2
  shift
  "$@" || { echo "FEHLER: $*" >&2; failures=$((failures + 1)); }
}
cases=(
  "words"
  "first word too long"
  "device name CON"
  "device name COM with superscript one"
  "short name of another address's file"
  "outside the code page: no look-alikes"
  "UTF-8 as the code page: the text's UTF-8 bytes"
)
for name in "${cases[@]}"; do
  step "$name" bash "$tests/program/run_cases.sh" "$exe" "$prefix" "$name"
done
step "Tasten und Klicks" bash "$tests/program/xvfb_window_test.sh" "$exe" "$work" "$prefix"

# The layout test finds the program beside itself.
for dpi in 96 144; do
  step "Layout bei $dpi dpi" "$tests/wine/wine-run" "$prefix" --display --dpi "$dpi" \
    "$work/shipped/win32_program_tests.exe" --gtest_filter='*Layout*'
done
echo "$((failures == 0 ? 1 : 0)) passed, $((failures == 0 ? 0 : 1)) failed"
[ "$failures" -eq 0 ]
