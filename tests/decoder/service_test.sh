#!/usr/bin/env bash
# The systemd unit's chain, run as systemd runs it: in a session of its own,
# with SIGPIPE ignored, the real multimon-ng, and a stand-in rtl_fm that sends
# the tests' POCSAG audio at real time. Each page must be on disk within a
# second of its last codeword while the audio goes on; a stop, which systemd
# sends to kulverant-multimon alone, must end the chain but no alarm window,
# even where rtl_fm ignores it; whichever part ends, the whole chain must end
# soon with a line that names it and a failure, its pages started; and a
# stop at any moment of start-up, while both cores are busy, must leave
# nothing behind.
#   service_test.sh ENCODER GLUE UNIT
set -euo pipefail
encoder=$(realpath "$1") glue_directory=$(dirname "$(realpath "$2")") unit=$3
work=$(mktemp -d)
xvfb= chains=() busy=()
cleanup() {
  [ ${#busy[@]} -eq 0 ] || kill "${busy[@]}" 2>/dev/null || true
  for chain in "${chains[@]}"; do pkill -KILL -s "$chain" 2>/dev/null || true; done
  [ -z "${address:-}" ] || pkill -KILL -f "^$glue_directory/kulverant $address " 2>/dev/null || true
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FEHLER: $*" >&2; failures=$((failures + 1)); }
milliseconds() { local now=${EPOCHREALTIME/./}; echo $((now / 1000)); }

# What systemd runs: the unit's ExecStart, its lines joined, its quotes
# read as systemd reads them, with the glue of this build.
eval "command=($(sed -n '/^ExecStart=/,/[^\\]$/p' "$unit" | sed 's/\\$//' | tr '\n' ' ' | sed 's/^ExecStart=//'))"
command[0]=$glue_directory/kulverant-multimon
address=$(grep -o -- '--ric [0-9]*' <<<"${command[*]}" | cut -d' ' -f2)

source "$(dirname "$0")/../program/case_text.sh"
start_xvfb "$work"
mkdir -p "$work/bin" "$work/home/Pocsag"
export HOME=$work/home PATH=$work/bin:$glue_directory:$PATH
messages=$work/home/Pocsag
windows() { xdotool search --onlyvisible --name '^Tevra Pocsag Display$' 2>/dev/null | wc -l; }
live() { printf "exec '%s' --live '%s' 1200 " "$encoder" "$work/ends"; printf "'a,$address,3,%s' " "$@"; }

# Starts the chain with rtl_fm standing in as given and the glue's options
# added; sets chain to the glue's pid, which leads the chain's session.
run_chain() {
  printf '#!/bin/sh\n%s\n' "$1" >"$work/bin/rtl_fm"
  chmod +x "$work/bin/rtl_fm"
  # shellcheck disable=SC2086
  setsid env --ignore-signal=PIPE "${command[0]}" ${2:-} "${command[@]:1}" >/dev/null 2>"$work/journal" &
  chain=$!
  chains+=("$chain")
}
# Waits until the chain's process has left this shell for setsid: until
# then it is a copy of this shell, which catches TERM for its EXIT trap and
# would swallow a stop that systemd could never send.
left_shell() {
  local shell
  shell=$(readlink /proc/$$/exe)
  while [ "$(readlink "/proc/$chain/exe" 2>/dev/null)" = "$shell" ]; do :; done
}
# Whether the chain has ended within the given seconds, leaving nothing of its
# session but the alarm windows; sets status to the shell's.
ended_within() {
  local deadline=$(($(milliseconds) + $1 * 1000))
  while kill -0 "$chain" 2>/dev/null && [ "$(milliseconds)" -lt "$deadline" ]; do sleep 0.05; done
  status=0
  kill -0 "$chain" 2>/dev/null && return 1
  wait "$chain" || status=$?
  while pgrep -s "$chain" >/dev/null && [ "$(milliseconds)" -lt "$deadline" ]; do sleep 0.05; done
  ! pgrep -s "$chain" >/dev/null || { fail "es laufen noch: $(pgrep -a -s "$chain" | tr '\n' ';')"; return 0; }
}

pages=("Alarm eins" "Alarm zwei" "Alarm drei")
run_chain "$(live "${pages[@]}")" ""
# The stand-in notes when each page's last codeword went out; multimon-ng
# prints the page once the codeword after it shows that it ended.
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
    fail "Seite $i: auf der Platte $((found[i] - ${ended:-0})) ms nach ihrem letzten Codewort"
done
kill -0 "$chain" 2>/dev/null || fail "die Kette endete mit ihrer Eingabe: $(cat "$work/journal")"
for _ in $(seq 100); do [ "$(windows)" -ge 3 ] && break; sleep 0.05; done
[ "$(windows)" = 3 ] || fail "$(windows) Fenster statt 3"
# systemctl stop, with KillMode=process: SIGTERM to the shell alone.
kill -TERM "$chain"
ended_within 2 || fail "das Anhalten beendete die Kette nicht"
[ "$(windows)" = 3 ] || fail "das Anhalten schloss Alarmfenster: $(windows) statt 3"
pkill -f "^$glue_directory/kulverant $address " || true

# Each way the chain can end: the rtl_fm stand-in, the glue's options, what
# the test then does to the chain, the line the journal must hold, within
# how many seconds of that the whole chain must have ended, and with which
# status. A receiver that goes deaf (a USB stall) is a stopped rtl_fm:
# multimon-ng then prints nothing, and the glue ends after its silence limit
# (3 s here). A receiver that ends after a burst leaves its pages to start.
burst="exec '$encoder' 1200 a,$address,3,Alarm1 a,$address,3,Alarm2 a,$address,3,Alarm3"
cases=(
  "no stick|echo 'No supported devices found.' >&2; exit 1||:|rtl_fm endete (Status 1)\$|2|1"
  "multimon-ng ends|$(live Alarm)||pkill -TERM -s \$chain -x multimon-ng|multimon-ng endete (Status 143)\$|2|1"
  "the glue is killed|$(live Alarm)||pkill -KILL -s \$chain -x kulverant-multi||2|137"
  "a stop|$(live Alarm)||kill -TERM \$chain|angehalten (SIGTERM)|2|0"
  "a deaf receiver|$(live Alarm{1..8})|--silence-limit 0.05|sleep 4; pkill -STOP -s \$chain -x pocsag_encoder|keine Zeile vom Decoder|5|1"
  "a stop that rtl_fm ignores|trap '' TERM; $(live Alarm)||kill -TERM \$chain||5|0"
  "the receiver ends after a burst|$burst||:|rtl_fm endete (Status 0)\$|2|1"
)
for row in "${cases[@]}"; do
  IFS='|' read -r name radio options provoke line within expected <<<"$row"
  rm -f "$messages/$address.txt"
  run_chain "$radio" "$options"
  sleep 2
  kill -0 "$chain" 2>/dev/null || [ "$name" = "no stick" ] || [ "$name" = "the receiver ends after a burst" ] ||
    fail "$name: die Kette endete vorher: $(cat "$work/journal")"
  eval "$provoke"
  if ! ended_within "$within"; then
    fail "$name: die Kette lief nach $within s noch: $(cat "$work/journal")"
    continue
  fi
  [ "$status" = "$expected" ] || fail "$name: die Kette endete mit Status $status statt $expected"
  [ -z "$line" ] || grep -q "$line" "$work/journal" || fail "$name: kein Journaleintrag '$line': $(cat "$work/journal")"
done
[ "$(cat "$messages/$address.txt" 2>/dev/null)" = "ZIZ: $address Alarm3" ] ||
  fail "nach dem Ende des Empfängers: $address.txt hält '$(cat "$messages/$address.txt" 2>/dev/null)'"
pkill -f "^$glue_directory/kulverant $address " || true

# Starts and stops in a hurry, both cores kept busy, as at a station's boot:
# a stop at any moment of start-up, a receiver without stick, and a glue
# that refuses its options; each must end at once and leave nothing behind.
for _ in 1 2; do (while :; do :; done) & busy+=($!); done
for run in $(seq 150); do
  case $((run % 3)) in
    0) run_chain "$(live Alarm)" "" ; left_shell; sleep "0.0$((RANDOM % 5))"; kill -TERM "$chain" ;;
    1) run_chain "exit 1" "" ;;
    2) run_chain "$(live Alarm)" "--ric x" ;;
  esac
  ended_within 5 || { fail "Lauf $run: die Kette lief nach 5 s noch: $(cat "$work/journal")
$(ps -o pid,stat,wchan:24,args -s "$chain")"; break; }
done
kill "${busy[@]}"

echo "$((failures == 0 ? 1 : 0)) passed, $((failures == 0 ? 0 : 1)) failed"
[ "$failures" -eq 0 ]
