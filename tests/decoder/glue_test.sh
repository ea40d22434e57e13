#!/usr/bin/env bash
# kulverant-multimon alone, one row of glue_cases.tsv: its lines written at
# their times into a pipe, a stand-in kulverant that notes each start.
#   glue_test.sh --list | GLUE CASE
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../program/case_text.sh"
if [ "$1" = --list ]; then table_rows "$here/glue_cases.tsv" | cut -f1; exit 0; fi
row=$(table_rows "$here/glue_cases.tsv" "$2")
IFS=$'\t' read -r name options steps starts expected_status expected_note <<<"$row"
[ "$options" != - ] || options=
# qemu's user-mode emulation runs a spawned program in a child that cannot
# tell posix_spawn that its exec failed: a start that fails is not seen there.
if [[ $steps == *deny* ]] && file -b "$1" | grep -q aarch64 && [ "$(uname -m)" != aarch64 ]; then
  echo "übersprungen: unter qemu meldet kein Start sein Scheitern" >&2
  exit 77
fi

work=$(mktemp -d)
trap 'pkill -KILL -f "^(/bin/sh )?$work/" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir "$work/bin" && cp "$1" "$work/bin/"
# A window that stays open: a sleep that the trap finds by its path.
cp "$(command -v sleep)" "$work/bin/window"
cat >"$work/bin/kulverant" <<STAND_IN
#!/bin/sh
echo "\$(date +%s%3N) \$1" >>"$work/started"
case \$1 in *HANG*) exec "$work/bin/window" 60 ;; *SLOW*) sleep "\$(echo "\$1" | sed 's/.*SLOW\([0-9.]*\).*/\1/')" ;; esac
echo "\$1" >>"$work/saved"
# As kulverant does once saved: its output closed, its window open.
case \$1 in *WINDOW*) exec >&- "$work/bin/window" 40 ;; esac
STAND_IN
chmod +x "$work/bin/kulverant" && touch "$work/started" "$work/saved"
milliseconds() { local now=${EPOCHREALTIME/./}; echo $((now / 1000)); }
# Seconds such as 0.5 in milliseconds.
in_milliseconds() { local fraction=${1#*.}; [ "$fraction" != "$1" ] || fraction=; fraction=${fraction}000; echo $((${1%.*} * 1000 + 10#${fraction:0:3})); }
traffic='FLEX: 2026-12-09 12:00:00 1600/2/K/A 10.120 [001234567] ALN Verkehr fuer andere, ohne Alarm'

problems= status=0
start=$(milliseconds)
# shellcheck disable=SC2086
if [ "$steps" = - ]; then
  timeout 5 "$work/bin/kulverant-multimon" $options <&- 2>"$work/notes" || status=$?
else
  mkfifo "$work/input"
  # shellcheck disable=SC2086
  "$work/bin/kulverant-multimon" $options <"$work/input" 2>"$work/notes" &
  glue=$!
  exec 3>"$work/input"
  IFS=';' read -ra step_list <<<"$steps"
  for step in "${step_list[@]}"; do
    at=${step%%:*} what=${step#*:}
    due=$((start + $(in_milliseconds "$at")))
    while [ "$(milliseconds)" -lt "$due" ]; do sleep 0.01; done
    read -r verb first rest <<<"$what"
    case $verb in
      a) printf 'POCSAG1200: Address: %7s  Function: 3  Alpha:   %s<NUL>\n' "$first" "$rest" >&3 ;;
      line) printf '%s\n' "${what#line }" >&3 ;;
      burst) for ((i = 0; i < first; i++)); do echo "POCSAG1200: Address:       9  Function: 3  Alpha:   Seite"; done >&3 ;;
      TERM) kill -TERM "$glue" ;;
      deny) chmod -x "$work/bin/kulverant" ;;
      allow) chmod +x "$work/bin/kulverant" ;;
      close) exec 3>&- ;;
      fill) before=$(milliseconds); for ((i = 0; i < first * 1024 / ${#traffic}; i++)); do echo "$traffic"; done >&3
        [ $(($(milliseconds) - before)) -lt 1000 ] || problems+=" das Füllen wartete $(($(milliseconds) - before)) ms;" ;;
    esac
  done
  exec 3>&-
  # The glue must end within 35 s of the last step.
  for _ in $(seq 350); do kill -0 "$glue" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$glue" 2>/dev/null && problems+=" lief 35 s nach dem letzten Schritt noch;"
  wait "$glue" || status=$?
fi
[ "$status" = "$expected_status" ] || problems+=" Status $status statt $expected_status;"

wanted=(); [ "$starts" = - ] || IFS="|" read -ra wanted <<<"$(expand "$starts")"
[ "$expected_note" = - ] || grep -qF "$expected_note" "$work/notes" || problems+=" kein Hinweis '$expected_note';"
mapfile -t got <"$work/started"
[ "${#got[@]}" = "${#wanted[@]}" ] || problems+=" ${#got[@]} Starts statt ${#wanted[@]};"
for i in "${!wanted[@]}"; do
  message=${wanted[i]%<*} within=${wanted[i]#"${wanted[i]%<*}"}
  at=${got[i]:-0 -} at=${at%% *} started=${got[i]:-0 -} started=${started#* }
  [ "$started" = "$message" ] || problems+=" Start $((i + 1)): '$started' statt '$message';"
  late=$((at - start))
  [ -z "$within" ] || [ "$late" -lt "${within#<}" ] || problems+=" '$message' erst nach $late ms;"
done
# The files are written in the order of the starts.
cut -d" " -f2- "$work/started" | { grep -v HANG || true; } | cmp -s - "$work/saved" ||
  problems+=" gespeichert in anderer Reihenfolge: $(tr '\n' '|' <"$work/saved");"
[ -z "$problems" ] || { echo "FEHLER $name:$problems" >&2; sed 's/^/    /' "$work/notes" >&2; exit 1; }
