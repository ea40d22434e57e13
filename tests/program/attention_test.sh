#!/usr/bin/env bash
# An alarm is seen: started from the background (no startup id, its own
# session) while someone types into another window, the window must come
# up on top of a stacking window manager (openbox in Xvfb) with the focus;
# on a real X server (Xorg's dummy driver, as root) a running screen saver
# must end, stay off while the window is open, and run again by its own
# timeout once "Beenden" is pressed. With a Wine prefix, kulverant.exe
# under openbox: on top with the focus, also when its starter asks for a
# minimised window, and the calls that Wine cannot show, from Wine's relay
# log: the display kept on while the window is open and let go after it,
# the topmost band entered and left, a flash where the foreground was refused.
#   attention_test.sh PROGRAM SCREEN_STATE | PROGRAM.exe --wine PREFIX
set -euo pipefail
program=$(realpath "$1") screen_state=${2:-} prefix=${3:-}
work=$(mktemp -d)
servers=()
# Only this test's own processes: other tests run the same program at once.
trap 'kill "${servers[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
failures=0
fail() { echo "FEHLER: $*" >&2; failures=$((failures + 1)); }
mkdir -p "$work/Pocsag"
export HOME=$work
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
run=("$program")
# Starts the program as a decoder's service does, detached and in a session
# of its own, and waits for its window; sets started and window.
wait_until() { for _ in $(seq $(($1 * 20))); do eval "$2" && return 0; sleep 0.05; done; return 1; }
alarm() {
  setsid "${run[@]}" 123 Alarm Wache </dev/null >/dev/null 2>"$work/report" &
  started=$!
  servers+=("$started")
  wait_until 10 'window=$(xdotool search --onlyvisible --name "^Tevra Pocsag Display$" 2>/dev/null | head -n 1) && [ -n "$window" ]'
}

# Openbox keeps a stacking order; another program has the focus and was
# typed into a moment ago.
export DISPLAY=:$((90 + RANDOM % 400))
Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
servers+=($!)
wait_until 10 'xdpyinfo >/dev/null 2>&1' || { echo "FEHLER: Xvfb startete nicht" >&2; exit 1; }
# The other window first: openbox takes the windows that are there when it
# starts, and one mapped while it starts up it may never map.
xmessage -name andere "Ein anderes Programm" &
servers+=($!)
wait_until 10 'other=$(xdotool search --onlyvisible --classname "^andere$" | head -n 1) && [ -n "$other" ]'
openbox >/dev/null 2>&1 &
servers+=($!)
wait_until 10 'xprop -root _NET_CLIENT_LIST | grep -q "$(printf "0x%x" "$other")"' || fail "openbox nahm das Fenster nicht"
xdotool windowactivate --sync "$other" key x
if [ "$screen_state" = --wine ]; then
  source "$(dirname "$0")/../../scripts/wine-env" "$prefix" "$program"
  mkdir -p "$prefix/drive_c/Pocsag"
  # Only these calls in the relay log: the rest would fill it.
  DISPLAY= wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /t REG_SZ /f /d \
    'user32.SetWindowPos;user32.SetForegroundWindow;user32.FlashWindowEx' >/dev/null 2>&1
  # The server that went without a display must not serve the window.
  wineserver --wait
  # Wine's ntdll notes the display's execution state, which relay skips.
  run=(env WINEDEBUG=+relay,warn+ntdll wine start /min /unix "$program")
  screen_state=
fi
if alarm; then
  top=$(xprop -root _NET_CLIENT_LIST_STACKING | awk '{print $NF}')
  wait_until 3 '[ "$(xdotool getwindowfocus)" = "$window" ]' || fail "das Fenster hat nicht den Fokus"
  [ $((top)) = "$window" ] || fail "das Fenster liegt nicht oben: $(xprop -root _NET_CLIENT_LIST_STACKING)"
else
  fail "kein Fenster unter openbox: $(cat "$work/report")"
fi
if [ -n "$prefix" ]; then
  xdotool key --window "$window" Tab space
  wait_until 10 '! xdotool search --onlyvisible --name "^Tevra Pocsag Display$" >/dev/null 2>&1' ||
    fail "das Fenster endete nicht"
  wineserver --wait || true
  relay=$(grep -E '(Call|Ret) +user32\.|NtSetThreadExecutionState' "$work/report" | sed 's/ ret=.*//; s/^[0-9a-f]*://' | tr '\n' ';')
  for expected in 'SetWindowPos\([0-9a-f]*,f{8,},.*SetWindowPos\([0-9a-f]*,f+e,' \
                  'SetThreadExecutionState \(0x80000002,.*SetThreadExecutionState \(0x80000000,'; do
    [[ $relay =~ $expected ]] || fail "kein $expected in: $relay"
  done
  # Where the foreground was refused, the taskbar entry flashes.
  [[ $relay != *'SetForegroundWindow() retval=00000000'* || $relay == *FlashWindowEx* ]] ||
    fail "kein FlashWindowEx nach verweigertem Vordergrund: $relay"
  echo "$((failures == 0 ? 1 : 0)) passed, $((failures == 0 ? 0 : 1)) failed"
  [ "$failures" -eq 0 ]
  exit
fi
kill "$started" || true

# A real X server's screen saver, which Xvfb's never is: Xorg with the dummy
# driver, without a terminal of its own.
if [ "$(id -u)" -ne 0 ] || ! command -v Xorg >/dev/null; then
  echo "übersprungen: der Bildschirmschoner braucht Xorg als root" >&2
else
  printf 'Section "ServerFlags"\n Option "AutoAddDevices" "false"\nEndSection\nSection "Device"\n Identifier "d"\n Driver "dummy"\nEndSection\n' >"$work/xorg.conf"
  export DISPLAY=:$((500 + RANDOM % 400))
  Xorg "$DISPLAY" -config "$work/xorg.conf" -novtswitch -sharevts -noreset -nolisten tcp \
    -logfile "$work/xorg.log" >/dev/null 2>&1 &
  servers+=($!)
  wait_until 20 'xdpyinfo >/dev/null 2>&1' || fail "Xorg startete nicht: $(tail -5 "$work/xorg.log")"
  xset s 2 0 && xset s activate
  wait_until 3 '[ "$("$screen_state")" = on ]' || fail "der Bildschirmschoner lief nicht an: $("$screen_state")"
  if alarm; then
    wait_until 3 '[ "$("$screen_state")" = off ]' || fail "der Bildschirmschoner läuft noch: $("$screen_state")"
    sleep 4
    [ "$("$screen_state")" = off ] || fail "der Bildschirmschoner kam bei offenem Fenster wieder: $("$screen_state")"
    xdotool key --window "$window" Tab space
    wait_until 5 '! kill -0 "$started" 2>/dev/null' || fail "das Fenster endete nicht"
    wait_until 5 '[ "$("$screen_state")" = on ]' || fail "danach lief der Bildschirmschoner nicht wieder an"
  else
    fail "kein Fenster unter Xorg: $(cat "$work/report")"
  fi
fi
echo "$((failures == 0 ? 1 : 0)) passed, $((failures == 0 ? 0 : 1)) failed"
[ "$failures" -eq 0 ]
