#!/usr/bin/env bash
# The systemd unit's chain, run as systemd runs it (in a session of its own),
# with the real multimon-ng and a stand-in rtl_fm that sends the tests' POCSAG
# audio at real time through the pipe. Each page must be on disk within a
# second of its transmission's end while the audio goes on; a stop, which
# systemd sends to the shell alone, must end the chain but no alarm window; a
# radio that fails must end the chain with a line that names it.
#   service_test.sh ENCODER GLUE UNIT
set -euo pipefail
encoder=$(realpath "$1") glue_directory=$(dirname "$(realpath "$2")") unit=$3
work=$(mktemp -d)
xvfb= chains=()
cleanup() {
  for chain in "${chains[@]}"; do kill -KILL -- "-$chain" 2>/dev/null || true; done
  [ -z "${address:-}" ] || pkill -KILL -f "^$glue_directory/kulverant $address " 2>/dev/null || true
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FEHLER: $*" >&2; failures=$((failures + 1)); }
milliseconds() { local now=${EPOCHREALTIME/./}; echo $((now / 1000)); }

# What systemd runs: the unit's ExecStart, its lines joined, $$ read as $.
script=$(sed -n '/^ExecStart=/,/[^\\]$/p' "$unit" | sed 's/\\$//' | tr '\n' ' ' |
  sed -e "s|^ExecStart=/bin/bash -c '||" -e "s/' *$//" -e 's/\$\$/$/g')
address=$(grep -o -- '--ric [0-9]*' <<<"$script" | cut -d' ' -f2)

source "$(dirname "$0")/../program/case_text.sh"
start_xvfb "$work"
mkdir -p "$work/bin" "$work/home/Pocsag"
export HOME=$work/home PATH=$work/bin:$glue_directory:$PATH
messages=$work/home/Pocsag
windows() { xdotool search --onlyvisible --name '^Tevra Pocsag Display$' 2>/dev/null | wc -l; }

# Starts the chain with rtl_fm standing in as given; sets chain to the shell's pid.
run_chain() {
  printf '#!/bin/sh\n%s\n' "$1" >"$work/bin/rtl_fm"
  chmod +x "$work/bin/rtl_fm"
  setsid bash -c "$script" >/dev/null 2>"$work/journal" &
  chain=$!
  chains+=("$chain")
}

pages=("Alarm eins" "Alarm zwei" "Alarm drei")
run_chain "exec '$encoder' --live '$work/ends' 1200 $(printf "'a,$address,3,%s' " "${pages[@]}")"
# A page is decoded once its last codeword is in, before its transmission's
# idle fill ends, which is when the stand-in notes the end.
deadline=$(($(milliseconds) + 30000))
found=()
for i in "${!pages[@]}"; do
  until [ "$(cat "$messages/$address.txt" 2>/dev/null)" = "ZIZ: $address ${pages[i]}" ] || [ "$(milliseconds)" -gt "$deadline" ]; do
    sleep 0.01
  done
  found+=("$(milliseconds)")
done
until [ "$(wc -l <"$work/ends")" -ge "${#pages[@]}" ] || [ "$(milliseconds)" -gt "$deadline" ]; do sleep 0.1; done
for i in "${!pages[@]}"; do
  ended=$(awk -v page="$i" '$1 == page {print $2}' "$work/ends")
  [ -n "$ended" ] && [ $((found[i] - ended)) -lt 1000 ] ||
    fail "Seite $i: auf der Platte $((found[i] - ${ended:-0})) ms nach dem Ende ihrer Aussendung"
done
kill -0 "$chain" 2>/dev/null || fail "die Kette endete mit ihrer Eingabe: $(cat "$work/journal")"
for _ in $(seq 100); do [ "$(windows)" -ge 3 ] && break; sleep 0.05; done
[ "$(windows)" = 3 ] || fail "$(windows) Fenster statt 3"

# systemctl stop, with KillMode=process: SIGTERM to the shell alone.
kill -TERM "$chain"
for _ in $(seq 100); do pgrep -g "$chain" >/dev/null || break; sleep 0.05; done
! pgrep -g "$chain" >/dev/null || fail "nach dem Anhalten laufen noch: $(pgrep -a -g "$chain" | tr '\n' ';')"
[ "$(windows)" = 3 ] || fail "das Anhalten schloss Alarmfenster: $(windows) statt 3"
pkill -f "^$glue_directory/kulverant $address " || true

# No stick: rtl_fm says so and ends at once; the chain fails and says who ended.
run_chain 'echo "No supported devices found." >&2; exit 1'
status=0
timeout 10 tail --pid="$chain" -f /dev/null || status=$?
wait "$chain" || status=$?
[ "$status" != 0 ] || fail "die Kette endete mit Status 0 statt eines Fehlers"
grep -q '^rtl_fm endete (Status 1)$' "$work/journal" || fail "kein Journaleintrag für rtl_fm: $(cat "$work/journal")"

echo "$((failures == 0 ? 1 : 0)) passed, $((failures == 0 ? 0 : 1)) failed"
[ "$failures" -eq 0 ]
