#!/usr/bin/env bash
# The Debian package: its dependencies, its files, and the program as
# installed from it, run from the unpacked tree rather than the build tree.
#   deb_package_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FEHLER: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work" >/dev/null
deb=$(echo "$work"/kulverant_*_amd64.deb)
[ -f "$deb" ] || fail "kein Paket kulverant_<Version>_amd64.deb"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libstdc++6 libqt6widgets6 libqt6gui6; do
  grep -q "$library" <<<"$depends" || fail "$library fehlt in Depends: $depends"
done
contents=$(dpkg-deb -c "$deb")
for file in ./usr/bin/kulverant ./usr/lib/kulverant/libkulverant_window.so \
            ./usr/share/man/man1/kulverant.1.gz ./usr/share/doc/kulverant/copyright \
            ./usr/share/doc/kulverant/changelog.gz; do
  grep -q " $file\$" <<<"$contents" || fail "$file fehlt im Paket"
done
version=$(dpkg-deb -f "$deb" Version)
zcat <(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/man/man1/kulverant.1.gz) | grep -q "kulverant $version" \
  || fail "Handbuchseite nennt nicht Version $version"

dpkg-deb -x "$deb" "$work/root"
mkdir -p "$work/home/Pocsag"
program=$work/root/usr/bin/kulverant

status=0
HOME=$work/home DISPLAY= WAYLAND_DISPLAY= "$program" 123 Alarm 2>"$work/report" || status=$?
[ "$status" -eq 2 ] || fail "ohne Bildschirm Status $status: $(cat "$work/report")"
[ "$(cat "$work/home/Pocsag/123.txt")" = "ZIZ: 123 Alarm" ] || fail "123.txt falsch"

# An unreachable display makes the program load its window library from the
# installed tree; only Qt itself can then tell that no display answers.
status=0
HOME=$work/home DISPLAY=:65000 "$program" 456 Alarm 2>"$work/report" || status=$?
[ "$status" -eq 2 ] || fail "Status $status: $(cat "$work/report")"
grep -q "^Kein Bildschirm erreichbar: " "$work/report" || fail "Fensterbibliothek nicht geladen: $(cat "$work/report")"
echo "1 passed, 0 failed"
exit 0
