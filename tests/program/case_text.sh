# Sourced by the test drivers: the notation of their tables' texts.
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

