#!/usr/bin/env bash
# The real program in a real X server, driven as a user drives it: key presses
# and clicks through XTEST. The same cases run for the Linux program and, with
# a Wine prefix, for kulverant.exe.
#   xvfb_window_test.sh PROGRAM OUTPUT_DIR [WINEPREFIX]
set -euo pipefail
program=$1
output=$2
prefix=${3:-}

work=$(mktemp -d)
server=
cleanup() {
  [ -z "$prefix" ] || wineserver --kill 2>/dev/null || true
  if [ -n "$server" ]; then kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FEHLER: $*" >&2; failures=$((failures + 1)); }

if [ -n "$prefix" ]; then
  source "$(dirname "$0")/../wine/wine-env" "$prefix" "$program"
  messages=$prefix/drive_c/Pocsag
  run=(wine "$program")
else
  messages=$work/Pocsag
  run=(env HOME="$work" "$program")
fi

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
server=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || { echo "Xvfb startete nicht: $(cat "$work/xvfb.log")" >&2; exit 1; }
export DISPLAY=:$(cat "$work/display")
unset WAYLAND_DISPLAY QT_QPA_PLATFORM

# Starts the program in the background with the given message; sets pid.
start() {
  rm -f "$work/report"
  "${run[@]}" "$@" 2>"$work/report" &
  pid=$!
}

# Waits for a top-level window with the program's caption; sets window.
await_window() {
  window=
  for _ in $(seq 1200); do
    window=$(xdotool search --onlyvisible --name '^Tevra Pocsag Display$' 2>/dev/null | head -n 1) || true
    [ -n "$window" ] && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}

# Sets status to the exit status once the program has ended within the given
# seconds, or to "läuft". In this shell, not a subshell: only the parent
# reaps the program, and an unreaped one still answers kill -0.
status_after() {
  status=läuft
  for _ in $(seq $(($1 * 20))); do
    if ! kill -0 "$pid" 2>/dev/null; then
      status=0; wait "$pid" || status=$?
      return
    fi
    sleep 0.05
  done
}

stop() { kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; }

# Keys pressed with the focus where the window puts it: first keys that must
# not end the program (Windows' multi-line control closed its parent on
# Escape after a while, hence the wait), then keys that must reach
# "Beenden" and press it, which proves that the first keys arrived too.
key_cases=(
  "|shift+Tab space|both"
  "Escape Return|Tab space|both"
  "|ctrl+Tab space|windows"
)
for row in "${key_cases[@]}"; do
  IFS='|' read -r harmless ending platforms <<<"$row"
  [ "$platforms" = both ] || [ -n "$prefix" ] || continue
  rm -rf "$messages"; mkdir -p "$messages"
  start 123 Alarm Wache
  await_window || { fail "$harmless $ending: kein Fenster ($(cat "$work/report"))"; continue; }
  xdotool windowfocus --sync "$window" 2>/dev/null || true
  sleep 0.3
  if [ -n "$harmless" ]; then
    # shellcheck disable=SC2086
    xdotool key --delay 100 $harmless
    status_after 3
    [ "$status" = läuft ] || fail "Tasten $harmless beendeten das Programm ($status)"
  fi
  # shellcheck disable=SC2086
  xdotool key --delay 100 $ending
  status_after 3
  [ "$status" = 0 ] || fail "Tasten $harmless $ending: $status statt 0"
  stop
done

# What the window shows, as a user copies it: all selected and copied with
# real keys, then read from the clipboard. On Linux in the C locale, as a
# service or a decoder started without LANG runs it.
rm -rf "$messages"; mkdir -p "$messages"
saved_run=("${run[@]}")
[ -n "$prefix" ] || run=(env -u LANG -u LC_CTYPE LC_ALL=C "${run[@]}")
start 123 $'Gr\xc3\xbc\xc3\x9fe' $'Stra\xc3\x9fe'
run=("${saved_run[@]}")
if await_window; then
  xdotool windowfocus --sync "$window" 2>/dev/null || true
  sleep 0.3
  xdotool key --delay 100 ctrl+a ctrl+c
  sleep 0.5
  shown=$(timeout 5 xclip -o -selection clipboard -t UTF8_STRING 2>&1) || true
  [ "$shown" = $'ZIZ: 123 Gr\xc3\xbc\xc3\x9fe Stra\xc3\x9fe' ] || fail "Fenster zeigt '$shown'"
else
  fail "kein Fenster: $(cat "$work/report")"
fi
stop

# A click on "Beenden" ends the program with status 0 and leaves both files.
rm -rf "$messages"; mkdir -p "$messages"
start 123 Alarm Wache
if await_window; then
  eval "$(xdotool getwindowgeometry --shell "$window")"
  # Wine draws its own frame inside the X window; the client area sits at
  # the bottom, centred.
  border=$(((WIDTH - 312) / 2))
  top=$((HEIGHT - 187 - border))
  if [ -z "$prefix" ]; then
    [ "$WIDTH x $HEIGHT" = "312 x 187" ] || fail "Fenstergröße $WIDTH x $HEIGHT"
    [ "$X,$Y" = "356,290" ] || fail "Fenster nicht mittig: $X,$Y"
    import -window "$window" "$output/window.png"
  fi
  xdotool mousemove --window "$window" $((border + 156)) $((top + 140)) click 1
  status_after 5
  [ "$status" = 0 ] || fail "Klick auf Beenden: $status"
  for file in Kulverant.txt 123.txt; do
    [ "$(cat "$messages/$file")" = "ZIZ: 123 Alarm Wache" ] || fail "$file falsch"
  done
else
  fail "kein Fenster: $(cat "$work/report")"
fi
stop

# A failed start shows only the error box, which stays inside the screen even
# for a first word of 300 newlines, and ends with status 1 once confirmed.
printf -v long_word '%.0s\n' $(seq 300)
failure_cases=(
  "missing|76|123 Alarm"
  "present|52|${long_word}x Alarm"
)
for row in "${failure_cases[@]}"; do
  IFS='|' read -r directory number _ <<<"$row" || true
  message=${row#*|*|}
  rm -rf "$messages"
  [ "$directory" = missing ] || mkdir -p "$messages"
  start "$message"
  await_window || { fail "$number: kein Fehlerfenster ($(cat "$work/report"))"; stop; continue; }
  eval "$(xdotool getwindowgeometry --shell "$window")"
  [ "$WIDTH x $HEIGHT" != "312 x 187" ] || fail "$number: Hauptfenster statt Fehlerfenster"
  [ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + WIDTH)) -le 1024 ] && [ $((Y + HEIGHT)) -le 768 ] \
    || fail "$number: Fehlerfenster $WIDTH x $HEIGHT bei $X,$Y ragt aus dem Bildschirm"
  xdotool windowfocus --sync "$window" 2>/dev/null || true
  sleep 0.3
  xdotool key Return
  status_after 5
  [ "$status" = 1 ] || fail "$number: Status $status"
  grep -q "^Laufzeitfehler '$number':" "$work/report" || fail "$number: Bericht fehlt: $(cat "$work/report")"
  [ "$directory" != missing ] || [ ! -e "$messages" ] || fail "Meldungsverzeichnis angelegt"
  stop
done

# A window that cannot be made (here the rich-edit control's class is
# missing, as when the desktop heap is used up) still shows its failure box
# until it is confirmed; the files are written, so the status is 2.
if [ -n "$prefix" ]; then
  system=$WINEPREFIX/drive_c/windows/system32/msftedit.dll
  cp "$system" "$work/msftedit.dll"
  trap 'cp "$work/msftedit.dll" "$system"; cleanup' EXIT
  cp "$(dirname "$program")/planted/Msftedit.dll" "$system"
  rm -rf "$messages"; mkdir -p "$messages"
  saved_run=("${run[@]}")
  run=(env WINEDLLOVERRIDES="msftedit=n;mscoree,mshtml=" "${run[@]}")
  start 123 Alarm
  run=("${saved_run[@]}")
  if await_window; then
    eval "$(xdotool getwindowgeometry --shell "$window")"
    [ "$WIDTH x $HEIGHT" != "312 x 187" ] || fail "ohne Textfeldklasse: Hauptfenster statt Fehlerfenster"
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    sleep 0.3
    xdotool key Return
    status_after 5
    [ "$status" = 2 ] || fail "ohne Textfeldklasse: Status $status"
  else
    fail "ohne Textfeldklasse: kein Fehlerfenster ($(cat "$work/report"))"
  fi
  stop
  cp "$work/msftedit.dll" "$system"
fi

# Standard error closed, with Qt logging to it: the next file Qt opened, its X
# connection, took descriptor 2, and the window hung.
if [ -z "$prefix" ]; then
  rm -rf "$messages"; mkdir -p "$messages"
  QT_LOGGING_RULES='qt.qpa.*=true' HOME=$work "$program" 123 Alarm 2>&- &
  pid=$!
  await_window || fail "mit geschlossener Standardfehlerausgabe kein Fenster"
  stop
fi

# kulverant-multimon starts a window per page and never waits for one: it
# ends with its input while both windows stay open.
if [ -z "$prefix" ]; then
  rm -rf "$messages"; mkdir -p "$messages"
  glue_status=0
  printf 'POCSAG1200: Address: %7d  Function: 3  Alpha:   Alarm %s\n' 11 eins 22 zwei \
    | HOME=$work timeout 5 "$(dirname "$program")/kulverant-multimon" 2>"$work/report" || glue_status=$?
  [ "$glue_status" = 0 ] || fail "kulverant-multimon: Status $glue_status ($(cat "$work/report"))"
  windows=
  for _ in $(seq 200); do
    windows=$(xdotool search --onlyvisible --name '^Tevra Pocsag Display$' 2>/dev/null | wc -l) || true
    [ "$windows" -ge 2 ] && break
    sleep 0.05
  done
  [ "$windows" = 2 ] || fail "kulverant-multimon: $windows Fenster statt 2"
  [ "$(cat "$messages/Kulverant.txt")" = "ZIZ: 22 Alarm zwei" ] || fail "kulverant-multimon: Reihenfolge"
  pkill -f "^$program " || true
fi

echo "$((failures == 0 ? 1 : 0)) passed, $((failures == 0 ? 0 : 1)) failed"
[ "$failures" -eq 0 ]
