# Sourced by the test drivers: their tables' notation, the comparison of a
# message directory with a table's files, and an X server of their own.
# The bytes a table field stands for: {N*TEXT} repeated, escapes resolved.
expand() {
  local text=$1 result=
  while [[ $text =~ ^(.*)\{([0-9]+)\*([^}]*)\}(.*)$ ]]; do
    local repeated= i
    for ((i = 0; i < BASH_REMATCH[2]; i++)); do repeated+=${BASH_REMATCH[3]}; done
    text=${BASH_REMATCH[1]}$repeated${BASH_REMATCH[4]}
  done
  text=${text//%SHORT%/${short:-}}
  printf -v result '%b' "$text"
  printf '%s' "$result"
}

# The rows of a table, without comments and blank lines; with a name, that row.
table_rows() {
  if [ $# -eq 1 ]; then grep -v -e '^#' -e '^$' "$1"; return; fi
  local row
  row=$(table_rows "$1" | awk -F'\t' -v name="$2" '$1 == name')
  [ -n "$row" ] || { echo "kein Fall namens $2" >&2; return 1; }
  printf '%s\n' "$row"
}

# Whether the file holds one of the contents, separated by '||'.
matches_one() {
  local content=$1
  while :; do
    cmp -s <(expand "${content%%||*}") "$2" && return 0
    [[ $content == *'||'* ]] || return 1
    content=${content#*||}
  done
}

# Compares the folder $messages with name=content;... and says what differs:
# name[MODE UID:GID] with the file's mode and owners, <dir> a folder, * any
# content, A||B either; '-' alone: no folder at all. Every other entry is unexpected.
compare_files() {
  local expected=$1 entry name content problems=
  if [ "$expected" = - ]; then
    [ ! -e "$messages" ] || problems="Meldungsverzeichnis besteht"
    printf '%s' "$problems"; return
  fi
  local -A wanted=()
  IFS=';' read -ra entries <<<"$expected"
  for entry in "${entries[@]}"; do
    name=$(expand "${entry%%=*}"); content=${entry#*=}
    if [[ $name =~ ^(.*)\[([0-7]+\ [0-9]+:[0-9]+)\]$ ]]; then
      name=${BASH_REMATCH[1]}
      [ "$(stat -c '%a %u:%g' "$messages/$name" 2>/dev/null)" = "${BASH_REMATCH[2]}" ] \
        || problems+=" $name: $(stat -c '%a %u:%g' "$messages/$name" 2>&1) statt ${BASH_REMATCH[2]};"
    fi
    wanted[$name]=1
    if [ ! -e "$messages/$name" ]; then
      problems+=" $name fehlt;"
    elif [ "$content" = '<dir>' ]; then
      [ -d "$messages/$name" ] || problems+=" $name ist kein Ordner;"
    elif [ "$content" != '*' ] && ! matches_one "$content" "$messages/$name"; then
      problems+=" $name: '$(head -c 80 "$messages/$name" 2>/dev/null | cat -v)';"
    fi
  done
  while IFS= read -r -d '' name; do
    [ -n "${wanted[$name]:-}" ] || problems+=" unerwartet: $(printf '%q' "$name");"
  done < <(find "$messages" -mindepth 1 -maxdepth 1 -printf '%f\0')
  printf '%s' "$problems"
}

# Starts Xvfb, its display number written to $1/display; sets DISPLAY and xvfb.
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$1/display" 2>"$1/xvfb.log" &
  xvfb=$!
  for _ in $(seq 100); do [ -s "$1/display" ] && break; sleep 0.05; done
  [ -s "$1/display" ] || { echo "Xvfb startete nicht: $(cat "$1/xvfb.log")" >&2; return 1; }
  export DISPLAY=:$(cat "$1/display")
  unset WAYLAND_DISPLAY QT_QPA_PLATFORM
}
