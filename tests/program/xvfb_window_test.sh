#!/usr/bin/env bash
# The real program in a real X server: its window appears centred with the
# message, "Beenden" ends it with status 0; a failed start shows only the
# error box and ends with status 1 once the box is confirmed.
set -euo pipefail
program=$1
output=${2:-.}

work=$(mktemp -d)
server=
cleanup() {
  if [ -n "$server" ]; then kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FEHLER: $*" >&2; exit 1; }

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
server=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || fail "Xvfb startete nicht: $(cat "$work/xvfb.log")"
export DISPLAY=:$(cat "$work/display")
unset WAYLAND_DISPLAY QT_QPA_PLATFORM

# Waits for a top-level window with the program's caption and prints its id.
await_window() {
  local id
  for _ in $(seq 200); do
    id=$(xdotool search --onlyvisible --name '^Tevra Pocsag Display$' 2>/dev/null | head -n 1) || true
    [ -n "$id" ] && { echo "$id"; return 0; }
    kill -0 "$1" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}

mkdir "$work/Pocsag"
HOME=$work "$program" 123 Alarm Wache &
pid=$!
window=$(await_window "$pid") || fail "kein Fenster erschienen"
eval "$(xdotool getwindowgeometry --shell "$window")"
[ "$WIDTH x $HEIGHT" = "312 x 187" ] || fail "Fenstergröße $WIDTH x $HEIGHT"
[ "$X,$Y" = "356,290" ] || fail "Fenster nicht mittig: $X,$Y"
import -window "$window" "$output/window.png"
xdotool mousemove --window "$window" 156 140 click 1
status=0; wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "Beenden endete mit Status $status"
[ "$(cat "$work/Pocsag/Kulverant.txt")" = "ZIZ: 123 Alarm Wache" ] || fail "Kulverant.txt falsch"
[ "$(cat "$work/Pocsag/123.txt")" = "ZIZ: 123 Alarm Wache" ] || fail "123.txt falsch"

rm -rf "$work/Pocsag"
HOME=$work "$program" 123 Alarm 2>"$work/report" &
pid=$!
box=$(await_window "$pid") || { status=0; wait "$pid" || status=$?; fail "kein Fehlerfenster erschienen (Status $status): $(cat "$work/report")"; }
eval "$(xdotool getwindowgeometry --shell "$box")"
[ "$WIDTH x $HEIGHT" != "312 x 187" ] || fail "Hauptfenster statt Fehlerfenster gezeigt"
xdotool windowfocus --sync "$box" key Return
status=0; wait "$pid" || status=$?
[ "$status" -eq 1 ] || fail "Fehlerfall endete mit Status $status"
grep -q "^Laufzeitfehler '76':" "$work/report" || fail "Bericht fehlt: $(cat "$work/report")"
[ ! -e "$work/Pocsag" ] || fail "Meldungsverzeichnis angelegt"
echo "1 passed, 0 failed"
exit 0
