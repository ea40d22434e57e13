#!/usr/bin/env bash
# Runs the end-to-end cases of cases.tsv against the real program, started as
# a pager decoder starts it, without a display: the Linux program, or with a
# Wine prefix kulverant.exe. Prepares the message directory, starts the
# program, and compares its exit status, its report and every file left.
# The cases marked every-fs run again for Linux on each file system that
# homes and drop folders lie on, a new one at the message directory: "on
# ext3: words".
#   run_cases.sh --list linux|windows|file-systems   the names of the cases
#   run_cases.sh PROGRAM [WINEPREFIX] CASE runs one case; 77: it cannot be prepared here
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

# Each case line, split at its tabs (read would take a run of them for one).
read_case() {
  IFS=$'\x1f' read -r name preparation message linux_result linux_files windows_result windows_files \
    <<<"${1//$'\t'/$'\x1f'}"
}
column() { [ "$2" = = ] && printf '%s' "$1" || printf '%s' "$2"; }
source "$here/case_text.sh"

file_systems="ext2 ext3 ext4 xfs btrfs tmpfs overlay bindfs"
if [ "$1" = --list ]; then
  while IFS= read -r line; do
    read_case "$line"
    if [ "$2" = file-systems ]; then
      [[ ,$preparation, != *,every-fs,* ]] || for fs in $file_systems; do printf 'on %s: %s\n' "$fs" "$name"; done
      continue
    fi
    if [ "$2" = linux ]; then result=$linux_result; else result=$(column "$linux_result" "$windows_result"); fi
    [ "$result" = - ] || printf '%s\n' "$name"
  done < <(table_rows "$here/cases.tsv")
  exit 0
fi
program=$1
if [ $# -eq 3 ]; then prefix=$2; wanted=$3; else prefix=; wanted=$2; fi
planted_library=${KULVERANT_PLANTED_LIBRARY:-}
file_system=
if [[ $wanted =~ ^on\ ([a-z0-9]+):\ (.*)$ ]]; then file_system=${BASH_REMATCH[1]} wanted=${BASH_REMATCH[2]}; fi
row=$(table_rows "$here/cases.tsv" "$wanted")
read_case "$row"
work=$(mktemp -d)
chmod 755 "$work"
messages=$work/home/Pocsag
cleanup() {
  # Wine's processes first: a reader still holding a file keeps its mount busy.
  [ -z "$prefix" ] || wineserver --kill 2>/dev/null || true
  umount -l "$messages" 2>/dev/null || true
  umount -l "$work/below" 2>/dev/null || true
  chmod -R u+rwX "$work" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
previous="ZIZ: 123 vorige Meldung"

if [ -n "$prefix" ]; then
  platform=windows
  source "$here/../../scripts/wine-env" "$prefix" "$program"
  messages=$prefix/drive_c/Pocsag
  outside=$prefix/drive_c
else
  platform=linux
  # A copy that the unprivileged user can run, wherever the build lies.
  mkdir "$work/bin"
  cp "$program" "$(dirname "$program")/libkulverant_window.so" "$work/bin/"
  chmod -R a+rX "$work/bin"
  program=$work/bin/kulverant
  export LC_ALL=C
  outside=$work
fi
chmod -R u+rwX "$messages" 2>/dev/null || true
rm -rf "$messages" "$outside/fehlt"

# A new, small file system of the given kind at the message directory: one
# on a loop device, or over a small tmpfs below it.
mount_file_system() {
  local image=$work/file-system.img
  mkdir -p "$messages" "$work/below"
  case $1 in
    # No blocks kept for root: the user's room is the disk's.
    ext2|ext3|ext4) truncate -s 4M "$image" && "mkfs.$1" -q -m 0 "$image" ;;
    # The smallest that either will make.
    xfs) truncate -s 300M "$image" && mkfs.xfs -q "$image" ;;
    btrfs) truncate -s 16M "$image" && mkfs.btrfs -q --mixed "$image" >/dev/null ;;
    *) mount -t tmpfs -o size=4m tmpfs "$work/below" ;;
  esac || return 1
  case $1 in
    tmpfs) mount --bind "$work/below" "$messages" ;;
    # A container's: the upper layer takes every change.
    overlay) mkdir "$work/below/upper" "$work/below/work" "$work/lower"
      mount -t overlay overlay -o "lowerdir=$work/lower,upperdir=$work/below/upper,workdir=$work/below/work" "$messages" ;;
    bindfs) bindfs "$work/below" "$messages" ;;
    *) mount -o loop "$image" "$messages" && rm -rf "$messages/lost+found" ;;
  esac
}

prepare() {
  local step
  for step in ${1//,/ }; do
    case $step in
      -) ;;
      no-directory) rm -rf "$messages" ;;
      keyed-folder) mkdir "$messages/123.txt" ;;
      keyed-longer) printf 'ZIZ: 123 eine viel l\xc3\xa4ngere fr\xc3\xbchere Meldung' >"$messages/123.txt" ;;
      other-keyed) printf 'ZIZ: 456 zuerst' >"$messages/456.txt" ;;
      keyed-read-only) printf '%s' "$previous" >"$messages/123.txt"; chmod 444 "$messages/123.txt" ;;
      read-only-directory) chmod 555 "$messages" ;;
      link-out) ln -s "$outside/ausserhalb" "$messages/123.txt" ;;
      link-dangling) ln -s "$outside/fehlt" "$messages/123.txt" ;;
      long-file) printf '%s' "$previous" >"$messages/1234567890.txt"
        short=$(wine winepath -s 'C:\Pocsag\1234567890.txt' 2>/dev/null | tr -d '\r')
        short=${short##*\\}; short=${short%.*} ;;
      # The disk filled, but for N KiB that a file held until then.
      full-disk|full-disk=*) local room=0
        [[ $step != *=* ]] || room=${step#*=}
        head -c $((room * 1024)) /dev/zero >"$messages/platz"
        dd if=/dev/zero of="$messages/voll" bs=4k 2>/dev/null || true
        rm "$messages/platz"
        sync -f "$messages/voll" ;;
      planted-dll) mkdir -p "$work/planted"
        cp "$program" "$(dirname "$program")/planted/Msftedit.dll" "$work/planted/"
        run[1]=$work/planted/$(basename "$program")
        # Native first, as Windows itself loads a DLL it finds beside the program.
        run=(env WINEDLLOVERRIDES="msftedit=n,b;mscoree,mshtml=" "${run[@]}") ;;
      nobody) [ "$(id -u)" -ne 0 ] || { chown -R 65534:65534 "$messages"; run=(setpriv --reuid=65534 --regid=65534 --clear-groups "${run[@]}"); } ;;
      foreign-keyed) [ "$(id -u)" -eq 0 ] || return 1
        printf '%s' "$previous" >"$messages/123.txt"; chown 0:0 "$messages/123.txt"; chmod 644 "$messages/123.txt" ;;
      # The account's home then, nobody's: /nonexistent. Never the tester's own.
      no-home) [ "$(id -u)" -eq 0 ] || return 1; run=(env -u HOME "$program") ;;
      # A display that does not answer, and no window library beside the program.
      no-window-library) mkdir -p "$work/nolib"; cp "$program" "$work/nolib/"
        run=(env DISPLAY=:65000 HOME="$work/home" "$work/nolib/kulverant") ;;
      german|latin1) local locale=de_DE.UTF-8
        [ $step = german ] || locale=de_DE.ISO-8859-1
        localedef -c -i de_DE -f "${locale#*.}" "$work/$locale" || return 1
        run=(env LC_ALL=$locale LOCPATH="$work" "${run[@]}") ;;
      # Readers that get at the file through its group, and the admin's
      # drop folder: files writable for the user, their folder not.
      group-file) [ "$(id -u)" -eq 0 ] || return 1
        chgrp 65534 "$messages/Kulverant.txt"; chmod 640 "$messages/Kulverant.txt" ;;
      drop-folder) [ "$(id -u)" -eq 0 ] || return 1
        printf '%s' "$previous" >"$messages/123.txt"
        chown root:root "$messages"; chmod 755 "$messages"; chmod 666 "$messages"/*.txt ;;
      # No /proc, a display that does not answer, and a library of the
      # window's name in the current folder that marks it when loaded.
      # The sanitizers cannot even read their options without /proc.
      no-proc) [ "$(id -u)" -eq 0 ] && ! grep -q __asan_init "$program" || return 1
        mkdir -p "$work/cwd" "$work/nolib"; cp "$program" "$work/nolib/"
        cp "$planted_library" "$work/cwd/libkulverant_window.so"; directory=$work/cwd
        # Private before the tmpfs goes on top, so that the host never sees it;
        # in a chroot / is no mount point, so /proc is made private itself.
        run=(unshare --mount --propagation unchanged
             sh -c 'mount --make-private /proc && mount -t tmpfs none /proc && exec "$@"' sh
             env DISPLAY=:65000 KULVERANT_PLANTED_MARK="$work/geladen" HOME="$work/home" "$work/nolib/kulverant") ;;
      # The code page that Windows 10 and 11 can set for all programs.
      utf8-code-page) mkdir -p "$work/utf8"
        wine "$KULVERANT_UTF8_CODE_PAGE" "$(winepath -w "$program")" "$(winepath -w "$work/utf8")\\kulverant.exe" || return 1
        run[1]=$work/utf8/kulverant.exe ;;
      # A Windows reader holding Kulverant.txt open, sharing writing or not,
      # or a writer, for 8 seconds unless told.
      held-*) local mode=${step#held-} seconds=8
        [[ $mode != *=* ]] || seconds=${mode#*=} mode=${mode%=*}
        wine "$KULVERANT_HOLD_FILE" 'C:\Pocsag\Kulverant.txt' "$mode" "$seconds" >"$work/held" &
        local waited
        for waited in $(seq 200); do grep -q offen "$work/held" 2>/dev/null && break; sleep 0.05; done
        grep -q offen "$work/held" ;;
      old=*) previous="ZIZ: 123 $(expand "${step#old=}")"; printf '%s' "$previous" >"$messages/Kulverant.txt" ;;
      fsize=*) run=(prlimit --fsize="${step#fsize=}" "${run[@]}") ;;
      # A second start at the same moment, with the message "123 zweite".
      second-start) second=1 ;;
      every-fs|torn-on=*) ;;
      *) echo "unbekannte Vorbereitung $step" >&2; return 1 ;;
    esac
  done
}

if [ $platform = linux ]; then result=$linux_result files=$linux_files
else result=$(column "$linux_result" "$windows_result") files=$(column "$linux_files" "$windows_files"); fi

if [ -n "$file_system" ]; then
  [ "$(id -u)" -eq 0 ] || { echo "übersprungen: $file_system einhängen braucht root" >&2; exit 77; }
  mount_file_system "$file_system" || { echo "FEHLER: kein $file_system einzuhängen" >&2; exit 1; }
elif [[ ,$preparation, == *,full-disk* ]]; then
  # A disk to fill: a 64 KiB file system.
  mkdir -p "$messages"
  mount -t tmpfs -o size=64k tmpfs "$messages" || { echo "übersprungen: $name (Vorbereitung nicht möglich)" >&2; exit 77; }
fi
mkdir -p "$messages"
printf '%s' "$previous" >"$messages/Kulverant.txt"
printf 'unber\xc3\xbchrt' >"$outside/ausserhalb"
short= second=
if [ $platform = windows ]; then run=(wine "$program"); else run=(env HOME="$work/home" "$program"); fi
if ! prepare "$preparation"; then
  echo "übersprungen: $name (Vorbereitung nicht möglich)" >&2
  exit 77
fi
# The message as the decoder's arguments: split at every single blank.
arguments=()
if [ -n "$message" ]; then
  rest=$(expand "$message")
  while [[ $rest == *' '* ]]; do arguments+=("${rest%% *}"); rest=${rest#* }; done
  arguments+=("$rest")
fi
# The report through a pipe: a file would fall under the file-size limit too.
set +e
[ -z "$second" ] || { (cd "$work" && exec "${run[@]}" 123 zweite) >/dev/null 2>&1 & second=$!; }
(cd "${directory:-$work}" && exec "${run[@]}" "${arguments[@]}") 2>&1 >/dev/null | cat >"$work/report"
status=${PIPESTATUS[0]}
[ -z "$second" ] || { wait "$second"; second=$?; }
set -e
chmod -R u+rwX "$messages" 2>/dev/null || true

# A file system that writes every change to new blocks cannot keep a file
# rewritten in place whole on a full disk: the save may fail, the file torn.
if [[ ,$preparation, == *,torn-on=${file_system:-none},* ]]; then
  [ "$status" != 1 ] || result=E61
  files=$(sed -E 's/(Kulverant|123)\.txt=[^;]*/\1.txt=*/g' <<<"$files")
fi
problems=
[ "${second:-2}" = 2 ] || problems+=" zweiter Start: Status $second;"
if [ "${result%%:*}" = 2 ]; then
  [ "$status" = 2 ] || problems+=" Status $status statt 2;"
else
  number=${result%%:*}; number=${number#E}
  [ "$status" = 1 ] || problems+=" Status $status statt 1;"
  grep -q "^Laufzeitfehler '$number':" "$work/report" || problems+=" kein Bericht '$number';"
fi
if [[ $result == *:* ]] && ! grep -qF -- "$(expand "${result#*:}")" "$work/report"; then
  problems+=" Bericht ohne '${result#*:}';"
fi
problems+=$(compare_files "$files")
cmp -s <(printf 'unber\xc3\xbchrt') "$outside/ausserhalb" || problems+=" Datei außerhalb verändert;"
[ ! -e "$outside/fehlt" ] || problems+=" Verweisziel außerhalb angelegt;"
[ -z "$(find "$outside" -maxdepth 2 -name '*entkommen*')" ] || problems+=" Datei außerhalb angelegt;"
[ ! -e "$work/geladen" ] || problems+=" Bibliothek aus dem aktuellen Ordner geladen;"
# Control characters from the message never reach a terminal or a log raw.
! LC_ALL=C grep -q $'[\x01-\x08\x0b\x0c\x0e-\x1f\x7f]' "$work/report" || problems+=" Steuerzeichen im Bericht;"
if [ -n "$problems" ]; then
  echo "FEHLER ($platform${file_system:+ auf $file_system}) $name:$problems" >&2
  sed 's/^/    /' "$work/report" >&2
  exit 1
fi
