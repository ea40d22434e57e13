#!/usr/bin/env bash
# The decoder chain for real: the tests' POCSAG audio through multimon-ng and
# kulverant-multimon to kulverant, one row of chain_cases.tsv.
#   chain_test.sh --list | ENCODER GLUE CASE
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../program/case_text.sh"
cases() { grep -v -e '^#' -e '^$' "$here/chain_cases.tsv"; }
if [ "$1" = --list ]; then cases | cut -f1; exit 0; fi
encoder=$(realpath "$1") glue=$(realpath "$2")
line=$(cases | awk -F'\t' -v name="$3" '$1 == name')
[ -n "$line" ] || { echo "kein Fall namens $3" >&2; exit 1; }
IFS=$'\t' read -r name baud decoder_options glue_options pages files <<<"$line"
[ "$decoder_options" != - ] || decoder_options=
[ "$glue_options" != - ] || glue_options=

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home/Pocsag" "$work/cwd"
printf 'ZIZ: 123 vorige Meldung' >"$work/home/Pocsag/Kulverant.txt"
IFS='|' read -ra page_list <<<"$pages"
expanded=()
for page in "${page_list[@]}"; do expanded+=("$(expand "$page")"); done
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
"$encoder" "$baud" "${expanded[@]}" >"$work/audio.raw"
cd "$work/cwd"
set +e
# shellcheck disable=SC2086
multimon-ng -q -a "POCSAG$baud" -t raw $decoder_options "$work/audio.raw" 2>/dev/null \
  | HOME=$work/home "$glue" $glue_options 2>"$work/notes"
status=${PIPESTATUS[1]}
set -e

problems=
[ "$status" = 0 ] || problems+=" Status $status;"
declare -A wanted=()
IFS=';' read -ra entries <<<"$files"
for entry in "${entries[@]}"; do
  file=${entry%%=*}; wanted[$file]=1
  [ "${entry#*=}" != '*' ] || { [ -s "$work/home/Pocsag/$file" ] || problems+=" $file fehlt;"; continue; }
  cmp -s <(expand "${entry#*=}") "$work/home/Pocsag/$file" \
    || problems+=" $file: '$(head -c 80 "$work/home/Pocsag/$file" 2>/dev/null | cat -v)';"
done
for file in "$work/home/Pocsag"/* "$work/home/Pocsag"/.[!.]*; do
  [ -e "$file" ] || continue
  [ -n "${wanted[${file##*/}]:-}" ] || problems+=" unerwartet: ${file##*/};"
done
[ -z "$(ls -A "$work/cwd")" ] || problems+=" Datei im aktuellen Ordner angelegt;"
if [ -n "$problems" ]; then
  echo "FEHLER $name:$problems" >&2
  sed 's/^/    /' "$work/notes" >&2
  exit 1
fi
