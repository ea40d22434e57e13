#!/usr/bin/env bash
# A seeded channel of pages at real time, as multimon-ng's lines among other
# demodulators' (lines, or auto: as with its -f auto), or as audio through the
# real multimon-ng, to kulverant-multimon: the pages it starts must be the
# channel's answer, each once, in the order they were on the air, and the
# feeder must never wait for the glue more than 100 ms. held-lock: the real
# kulverant behind, as nobody in an admin's drop folder, where another
# program holds Kulverant.txt's lock for that many seconds; the pages behind
# it wait, the radio does not. KULVERANT_SEED repeats a run.
#   channel_test.sh CHANNEL GLUE PROGRAM lines|auto|audio PAGES [held-lock=SECONDS]
set -euo pipefail
channel=$(realpath "$1") glue=$(realpath "$2") program=$(realpath "$3") mode=$4 pages=$5 held=${6:-}
seed=${KULVERANT_SEED:-$(od -An -N2 -tu2 /dev/urandom | tr -d ' ')}
work=$(mktemp -d)
trap 'kill "${watchdog:-}" 2>/dev/null || true; pkill -KILL -f "^$work/" 2>/dev/null || true; chmod -R u+rwX "$work"; rm -rf "$work"' EXIT
chmod 755 "$work"
mkdir -p "$work/bin" "$work/home/Pocsag"
cp "$glue" "$work/bin/"
# kulverant as the glue finds it beside itself: it notes each start, and with
# held-lock it then runs the real program.
touch "$work/started"
chmod 666 "$work/started"
printf '#!/bin/sh\nprintf "%%s\\n" "$1" >>%q\n' "$work/started" >"$work/bin/kulverant"
run=()
if [ -n "$held" ]; then
  [ "$(id -u)" -eq 0 ] || { echo "übersprungen: der Ablageordner braucht root" >&2; exit 77; }
  cp "$(dirname "$program")/libkulverant_window.so" "$work/bin/"
  cp "$program" "$work/bin/kulverant-program"
  mv "$work/bin/kulverant" "$work/bin/note-start"
  printf '#!/bin/sh\n%q "$1"\nexec %q "$@"\n' "$work/bin/note-start" "$work/bin/kulverant-program" >"$work/bin/kulverant"
  messages=$work/home/Pocsag
  for name in Kulverant $(grep -o -- '--ric [0-9,:a-d]*' <<<"$("$channel" --options)" | tr -c '0-9\n' ' '); do
    printf 'ZIZ: 1 vorige Meldung' >"$messages/$name.txt"
  done
  chmod 666 "$messages"/*.txt
  chmod 755 "$messages"
  run=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  flock --shared "$messages/Kulverant.txt" sleep "${held#held-lock=}" &
fi
chmod -R a+rx "$work/bin"

# The glue must end within 40 s of the channel's end: its queue drains in 30.
(
  until grep -q '^longest write' "$work/feed" 2>/dev/null; do sleep 0.5; done
  for _ in $(seq 80); do pgrep -f "$work/bin/kulverant-multimon" >/dev/null || exit 0; sleep 0.5; done
  touch "$work/overran"
  pkill -KILL -f "$work/bin/kulverant-multimon"
) </dev/null >/dev/null 2>&1 &
watchdog=$!
read -r -a options <<<"$("$channel" --options)"
[ "$mode" != auto ] || options+=(--decodings auto)
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
set +e
if [ "$mode" = audio ]; then
  "$channel" "$seed" "$pages" audio "$work/answer" 2>"$work/feed" \
    | multimon-ng -q -a POCSAG512 -a POCSAG1200 -a POCSAG2400 -t raw - 2>/dev/null \
    | env HOME="$work/home" "${run[@]}" "$work/bin/kulverant-multimon" "${options[@]}" 2>"$work/notes"
else
  "$channel" "$seed" "$pages" "$mode" "$work/answer" 2>"$work/feed" \
    | env HOME="$work/home" "${run[@]}" "$work/bin/kulverant-multimon" "${options[@]}" 2>"$work/notes"
fi
status=${PIPESTATUS[-1]}
set -e
kill "$watchdog" 2>/dev/null || true

problems=
[ ! -e "$work/overran" ] || problems+=" kulverant-multimon lief 40 s nach dem Ende des Kanals noch;"
[ "$status" = 0 ] || problems+=" Status $status;"
longest=$(sed -n 's/^longest write: \([0-9-]*\) ms$/\1/p' "$work/feed")
if [ "$mode" != audio ] && ! [ "${longest:--1}" -ge 0 -a "${longest:--1}" -le 100 ]; then
  problems+=" der Zuspieler wartete ${longest:-?} ms auf das Lesen;"
fi
if ! diff "$work/answer" "$work/started" >"$work/difference"; then
  problems+=" gestartet wurde anderes als gesendet (< gesendet, > gestartet):"$'\n'$(head -20 "$work/difference")
fi
# The files hold the last page, and each address's file its last.
if [ -n "$held" ]; then
  declare -A last=([Kulverant]=$(tail -n 1 "$work/answer"))
  while read -r address text; do last[$address]="$address $text"; done <"$work/answer"
  for name in "${!last[@]}"; do
    cmp -s <(printf 'ZIZ: %s' "${last[$name]}") "$messages/$name.txt" ||
      problems+=" $name.txt: '$(head -c 80 "$messages/$name.txt")';"
  done
fi
if [ -n "$problems" ]; then
  echo "FEHLER ($mode, Startwert $seed, KULVERANT_SEED=$seed wiederholt ihn):$problems" >&2
  sed 's/^/    /' "$work/feed" >&2
  grep -v -e 'übersprungen' -e 'Kein Bildschirm' "$work/notes" | head -5 | sed 's/^/    /' >&2
  exit 1
fi
echo "$(wc -l <"$work/answer") Starts, Startwert $seed, längstes Warten $longest ms"
