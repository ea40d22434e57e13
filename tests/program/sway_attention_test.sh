#!/usr/bin/env bash
# An alarm is seen on Wayland: under sway (headless, run as nobody, since it
# refuses root) the program, started from the background with no activation
# token, must hold an idle inhibitor on its window's surface until the window
# ends and ask for activation with a token of its own. With a terminal
# focused, the window must come up focused, and sway must count it as
# keeping the screen awake; with a full-screen terminal in front, sway
# leaves it hidden and must mark it urgent, its answer to the activation.
#   sway_attention_test.sh PROGRAM
set -euo pipefail
program=$(realpath "$1")
work=$(mktemp -d) run=$(mktemp -d)
servers=()
trap 'kill "${servers[@]}" 2>/dev/null || true; rm -rf "$work" "$run"' EXIT
failures=0
fail() { echo "FEHLER: $*" >&2; failures=$((failures + 1)); }
wait_until() { for _ in $(seq $(($1 * 20))); do eval "$2" && return 0; sleep 0.05; done; return 1; }
mkdir -p "$work/Pocsag"
chown nobody "$run"
unset DISPLAY QT_QPA_PLATFORM
export HOME=$work XDG_RUNTIME_DIR=$run WAYLAND_DISPLAY=wayland-kulverant
printf 'output HEADLESS-1 resolution 1024x768\n' >"$run/config"
WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
  setpriv --reuid=nobody --regid=nogroup --clear-groups sway -c "$run/config" >"$work/sway.log" 2>&1 &
servers+=($!)
wait_until 10 '[ -S "$run/wayland-1" ]' || { echo "FEHLER: sway startete nicht: $(cat "$work/sway.log")" >&2; exit 1; }
ln -s wayland-1 "$run/$WAYLAND_DISPLAY"
SWAYSOCK=$(echo "$run"/sway-ipc.*.sock)
export SWAYSOCK
# Whether a view matches sway's criteria.
has() { swaymsg -q "[app_id=\"$1\" ${2:-}] nop" 2>/dev/null; }

rows=(
  "Terminal im Vordergrund||con_id=__focused__|wach"
  "Terminal im Vollbild davor|fullscreen enable|urgent=latest|"
)
for row in "${rows[@]}"; do
  IFS='|' read -r name before criteria awake <<<"$row"
  weston-terminal >/dev/null 2>&1 &
  servers+=($!) terminal=$!
  wait_until 10 'has "^org.freedesktop.weston" con_id=__focused__' || { fail "$name: kein Terminal"; continue; }
  [ -z "$before" ] || swaymsg -q "$before"
  setsid env WAYLAND_DEBUG=client "$program" 123 Alarm Wache </dev/null >/dev/null 2>"$work/report" &
  servers+=($!) alarm=$!
  wait_until 10 'has "^kulverant$" "$criteria"' || fail "$name: nicht $criteria"
  # sway counts the inhibitor once it has drawn the window, not at once.
  [ -z "$awake" ] || wait_until 10 'swaymsg -r -t get_tree | grep -q "\"inhibit_idle\": true"' ||
    fail "$name: sway zählt das Fenster nicht als wach haltend"
  swaymsg -q '[app_id="^kulverant$"] kill'
  wait_until 10 '! kill -0 "$alarm" 2>/dev/null' || fail "$name: das Fenster endete nicht"
  surface=$(sed -n 's/.*get_xdg_surface(new id xdg_surface[@#][0-9]*, wl_surface[@#]\([0-9]*\)).*/\1/p' "$work/report")
  inhibitor=$(sed -n "s/.*create_inhibitor(new id zwp_idle_inhibitor_v1[@#]\([0-9]*\), wl_surface[@#]$surface)\$/\1/p" "$work/report")
  [ -n "$surface" ] && [ -n "$inhibitor" ] && grep -q "zwp_idle_inhibitor_v1[@#]$inhibitor\.destroy()" "$work/report" ||
    fail "$name: keine Leerlaufsperre für die Fläche des Fensters, bis es endet"
  grep -q "xdg_activation_v1[@#][0-9]*\.activate(\"[^\"]*\", wl_surface[@#]$surface)\$" "$work/report" ||
    fail "$name: keine Bitte um Aktivierung"
  kill "$terminal" 2>/dev/null || true
  wait_until 10 '! has "^org.freedesktop.weston"' || true
done
echo "$((failures == 0 ? 1 : 0)) passed, $((failures == 0 ? 0 : 1)) failed"
[ "$failures" -eq 0 ]
