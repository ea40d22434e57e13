#!/usr/bin/env bash
# The real program in a real X server, driven as a user drives it: key presses
# and clicks through XTEST. The same cases run for the Linux program and, with
# a Wine prefix, for kulverant.exe. With --wayland the Linux program's keys
# run again in a Wayland session without Xwayland and without DISPLAY, a
# weston in the X server: the keys reach the program through it.
#   xvfb_window_test.sh PROGRAM OUTPUT_DIR [WINEPREFIX|--wayland]
set -euo pipefail
program=$1
output=$2
prefix=${3:-}
source "$(dirname "$0")/case_text.sh"

work=$(mktemp -d)
xvfb= system= weston=
cleanup() {
  [ -z "$weston" ] || kill "$weston" 2>/dev/null || true
  [ -z "$prefix" ] || wineserver --kill 2>/dev/null || true
  [ -z "$system" ] || cp "$work/msftedit.dll" "$system"
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FEHLER: $*" >&2; failures=$((failures + 1)); }

if [ "$prefix" = --wayland ]; then
  messages=$work/Pocsag
  mkdir -m 700 "$work/run"
  run=(env -u DISPLAY HOME="$work" XDG_RUNTIME_DIR="$work/run" WAYLAND_DISPLAY=kulverant-test WAYLAND_DEBUG=client
       "$program")
  platform=wayland prefix=
elif [ -n "$prefix" ]; then
  source "$(dirname "$0")/../../scripts/wine-env" "$prefix" "$program"
  messages=$prefix/drive_c/Pocsag
  run=(wine "$program")
  platform=windows
else
  messages=$work/Pocsag
  run=(env HOME="$work" "$program")
  platform=linux
fi
# Whether a row for the given platforms (a list of linux, windows, wayland) runs here.
runs_here() { [[ " $1 " == *" $platform "* ]]; }
start_xvfb "$work"
if [ $platform = wayland ]; then
  XDG_RUNTIME_DIR=$work/run weston --backend=x11-backend.so --shell=kiosk-shell.so --socket=kulverant-test --idle-time=0 --no-config \
    >"$work/weston.log" 2>&1 &
  weston=$!
  for _ in $(seq 100); do [ -S "$work/run/kulverant-test" ] && break; sleep 0.05; done
  [ -S "$work/run/kulverant-test" ] || { echo "FEHLER: weston startete nicht: $(cat "$work/weston.log")" >&2; exit 1; }
  # The X focus on weston's window for good, not on whatever the pointer is
  # over: weston passes it on as the keyboard's.
  xdotool windowfocus --sync "$(xdotool search --sync --onlyvisible --class '^weston' | head -n 1)"
fi

# Starts the program in the background with the given message, in an empty
# message directory (none with missing=1), with the variables in with=()
# set; sets pid.
with=() missing=
start() {
  rm -f "$work/report"
  rm -rf "$messages"
  [ -n "$missing" ] || mkdir -p "$messages"
  env "${with[@]}" "${run[@]}" "$@" 2>"$work/report" &
  pid=$!
}

# Waits for a top-level window with the program's caption; sets window. On
# Wayland, the program asks for it, gets the keyboard and answers weston's
# activation, and weston's window takes the keys. libwayland 1.23 writes an
# object as interface#id in its debug log, older ones as interface@id.
await_window() {
  window=
  for _ in $(seq 1200); do
    if [ $platform = wayland ]; then
      grep -q 'xdg_toplevel[@#][0-9]*\.set_title("Tevra Pocsag Display")' "$work/report" &&
        sed -n '/wl_keyboard[@#][0-9]*\.enter(/,$p' "$work/report" | grep -q 'ack_configure(' &&
        window=$(xdotool search --onlyvisible --class '^weston' 2>/dev/null | head -n 1) || true
    else
      window=$(xdotool search --onlyvisible --name '^Tevra Pocsag Display$' 2>/dev/null | head -n 1) || true
    fi
    [ -n "$window" ] && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}

# Gives the window the focus and presses the keys.
press() {
  xdotool windowfocus --sync "$window" 2>/dev/null || true
  sleep 0.3
  # shellcheck disable=SC2068
  xdotool key --delay 100 $@
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
# On Wayland the second row runs under the plugin's other name, as Raspberry
# Pis often set it: the program must end there too.
key_cases=(
  "|shift+Tab space|linux windows wayland"
  "Escape Return|Tab space|linux windows wayland|QT_QPA_PLATFORM=wayland-egl"
  "|ctrl+Tab space|windows"
)
for row in "${key_cases[@]}"; do
  IFS='|' read -r harmless ending platforms setting <<<"$row"
  runs_here "$platforms" || continue
  [ $platform = wayland ] && [ -n "$setting" ] && with=("$setting")
  start 123 Alarm Wache
  with=()
  await_window || { fail "$harmless $ending: kein Fenster ($(cat "$work/report"))"; continue; }
  if [ -n "$harmless" ]; then
    press "$harmless"
    status_after 3
    [ "$status" = läuft ] || fail "Tasten $harmless beendeten das Programm ($status)"
  fi
  press "$ending"
  # Ending takes longest under the sanitizers, whose leak check runs last.
  status_after 10
  [ "$status" = 0 ] || fail "Tasten $harmless $ending: $status statt 0"
  # Qt taken apart on Wayland, where its plugin can hang for good doing so.
  [ $platform != wayland ] || ! grep -q 'xdg_wm_base[@#][0-9]*\.destroy()' "$work/report" ||
    fail "Tasten $harmless $ending ${setting:-}: Qt wurde abgebaut"
  stop
done

# What the window shows, as a user copies it: all selected and copied with
# real keys, after an 'x' typed, which must go nowhere, then read from the
# clipboard. On Linux in the locale of the decoder: plain ASCII (a service
# started without LANG) takes UTF-8, Latin-1 its own bytes. A long message
# is filled into the Windows text area in pieces, one of which begins as
# rich text begins, which must stay text (Wine keeps it so in any case).
localedef -c -i de_DE -f ISO-8859-1 "$work/de_DE.ISO-8859-1" 2>/dev/null || true
shown_cases=(
  "C|Gr\xc3\xbc\xc3\x9fe Stra\xc3\x9fe|linux windows"
  "de_DE.ISO-8859-1|Gr\xfc\xdfe Stra\xdfe|linux"
  "C|{166*W\xc3\xa4che }{\\\\rtf1{\\\\v1 versteckt} sichtbar} {300*\xf0\x9f\x9a\x92x }Ende|linux windows"
)
for row in "${shown_cases[@]}"; do
  IFS='|' read -r locale text platforms <<<"$row"
  runs_here "$platforms" || continue
  [ -n "$prefix" ] || with=(-u LANG -u LC_CTYPE LC_ALL="$locale" LOCPATH="$work")
  text=$(expand "$text")
  # shellcheck disable=SC2086
  start 123 $text
  with=()
  await_window || { fail "$locale: kein Fenster ($(cat "$work/report"))"; continue; }
  press End x ctrl+a ctrl+c
  [ "$locale" = C ] || text=$(iconv -f "${locale#*.}" -t UTF-8 <<<"$text")
  # The window owns the clipboard once it has handled the keys.
  for _ in $(seq 50); do
    # Up to the first NUL, as a Windows reader takes clipboard text: Wine 10
    # hands out what follows the text in its buffer too.
    shown=$(timeout 5 xclip -o -selection clipboard -t UTF8_STRING 2>&1 | { IFS= read -r -d '' copied || true; printf '%s' "$copied"; }) || true
    [ "$shown" != "ZIZ: 123 $text" ] || break
    sleep 0.1
  done
  [ "$shown" = "ZIZ: 123 $text" ] || fail "$locale: Fenster zeigt '${shown:0:200}'"
  stop
done

# On Wayland the window has the program's own application id, and the last
# start wrote both files.
if [ $platform = wayland ]; then
  grep -q 'xdg_toplevel[@#][0-9]*\.set_app_id("kulverant")' "$work/report" || fail "Wayland: keine App-ID kulverant"
  for file in Kulverant.txt 123.txt; do
    [ "$(cat "$messages/$file" 2>/dev/null)" = "ZIZ: 123 Alarm Wache" ] || fail "Wayland: $file falsch"
  done
  # A failed start's box, confirmed, ends the program: Qt's Wayland plugin
  # once hung for good while Qt was taken apart.
  missing=1
  start 123 Alarm
  missing=
  await_window || fail "Wayland: kein Fehlerfenster ($(grep -v '^\[' "$work/report"))"
  press Return
  status_after 5
  [ "$status" = 1 ] || fail "Wayland: bestätigtes Fehlerfenster, Status $status statt 1"
  stop
  echo "$((failures == 0 ? 1 : 0)) passed, $((failures == 0 ? 0 : 1)) failed"
  exit $((failures != 0))
fi

# A click on "Beenden" ends the program with status 0 and leaves both files.
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

# A failed start shows only its error box, which stays inside the screen even
# for a first word of 300 newlines, until it is confirmed: then the status is
# 1 with a report, or 2 where the files are written but the window cannot be
# made (on Windows without the rich-edit control's class, as when the desktop
# heap is used up; Wine's dialogs ignore the quit message that closed the box
# at once on Windows).
printf -v long_word '%.0s\n' $(seq 300)
if [ -n "$prefix" ]; then
  system=$WINEPREFIX/drive_c/windows/system32/msftedit.dll
  cp "$system" "$work/msftedit.dll"
fi
failure_cases=(
  "missing|1|76|123 Alarm"
  "present|1|52|${long_word}x Alarm"
  "no-rich-edit|2||123 Alarm"
)
for row in "${failure_cases[@]}"; do
  IFS='|' read -r preparation expected number _ <<<"$row" || true
  message=${row#*|*|*|}
  [ "$preparation" != no-rich-edit ] || [ -n "$prefix" ] || continue
  if [ "$preparation" = no-rich-edit ]; then
    cp "$(dirname "$program")/planted/Msftedit.dll" "$system"
    with=(WINEDLLOVERRIDES="msftedit=n;mscoree,mshtml=")
  fi
  [ "$preparation" != missing ] || missing=1
  IFS=' ' read -r -d '' -a words < <(printf '%s' "$message") || true
  start "${words[@]}"
  with=() missing=
  await_window || { fail "$preparation: kein Fehlerfenster ($(cat "$work/report"))"; stop; continue; }
  eval "$(xdotool getwindowgeometry --shell "$window")"
  [ "$WIDTH x $HEIGHT" != "312 x 187" ] || fail "$preparation: Hauptfenster statt Fehlerfenster"
  [ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + WIDTH)) -le 1024 ] && [ $((Y + HEIGHT)) -le 768 ] \
    || fail "$preparation: Fehlerfenster $WIDTH x $HEIGHT bei $X,$Y ragt aus dem Bildschirm"
  press Return
  status_after 5
  [ "$status" = "$expected" ] || fail "$preparation: Status $status"
  [ -z "$number" ] || grep -q "^Laufzeitfehler '$number':" "$work/report" \
    || fail "$preparation: Bericht fehlt: $(cat "$work/report")"
  [ "$preparation" != missing ] || [ ! -e "$messages" ] || fail "Meldungsverzeichnis angelegt"
  stop
  [ -z "$system" ] || cp "$work/msftedit.dll" "$system"
done

# Standard error closed, with Qt logging to it: the next file Qt opened, its X
# connection, took descriptor 2, and the window hung.
if [ -z "$prefix" ]; then
  rm -rf "$messages"; mkdir -p "$messages"
  QT_LOGGING_RULES='qt.qpa.*=true' HOME=$work "$program" 123 Alarm 2>&- &
  pid=$!
  await_window || fail "mit geschlossener Standardfehlerausgabe kein Fenster"
  stop
fi

echo "$((failures == 0 ? 1 : 0)) passed, $((failures == 0 ? 0 : 1)) failed"
[ "$failures" -eq 0 ]
