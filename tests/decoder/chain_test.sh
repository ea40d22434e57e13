#!/usr/bin/env bash
# The decoder chain for real: the tests' POCSAG audio through multimon-ng and
# kulverant-multimon to kulverant, one row of chain_cases.tsv.
#   chain_test.sh --list | ENCODER GLUE CASE
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../program/case_text.sh"
if [ "$1" = --list ]; then table_rows "$here/chain_cases.tsv" | cut -f1; exit 0; fi
encoder=$(realpath "$1") glue=$(realpath "$2")
row=$(table_rows "$here/chain_cases.tsv" "$3")
IFS=$'\t' read -r name baud decoder_options glue_options pages files <<<"$row"
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
messages=$work/home/Pocsag
problems+=$(compare_files "$files")
[ -z "$(ls -A "$work/cwd")" ] || problems+=" Datei im aktuellen Ordner angelegt;"
if [ -n "$problems" ]; then
  echo "FEHLER $name:$problems" >&2
  sed 's/^/    /' "$work/notes" >&2
  exit 1
fi
