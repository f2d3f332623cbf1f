#!/usr/bin/env bash
# Drives the bash completion of ovel-ifs-render as bash does on Tab (COMP_WORDS, COMP_CWORD, then the function),
# in a folder of sample files: once on its own, and once on top of the bash-completion library when that is
# installed, whose helpers it then uses. Its options and their fixed values must be those of --help.
#
# usage: completion_test.sh RENDER_EXE COMPLETION_FILE
set -euo pipefail
export LC_ALL=C
render=$(realpath "$1") completion=$(realpath "$2")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir sub
touch a.ifs B.IFS c.ovc d.png E.TIF notes.txt

# The same --help parsing as the man page test: entries of the option lists start two spaces in.
help=$("$render" --help)
help_options=$(echo "$help" | grep -E '^  -' | grep -oE '(^|[ ,])--?[a-z][a-z-]*' | tr -d ' ,' | sort -u)

run_cases() {  # $1: library to load first, or nothing
  local library=$1
  bash --norc --noprofile -s "$library" "$completion" <<'CASES'
set -u
library=$1 completion=$2
[ -n "$library" ] && . "$library"
. "$completion"
if [ -n "$library" ] && ! declare -F _init_completion > /dev/null; then echo "library without _init_completion"; fi
# Completes the words as typed, the last one being completed, and prints the candidates sorted, one line.
complete_words() {
  local line="ovel-ifs-render $*"
  COMP_LINE=$line COMP_POINT=${#line}
  # bash splits at its word breaks, "=" among them
  read -r -a COMP_WORDS <<< "${line//=/ = }"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  [[ $line == *"=" ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _ovel_ifs_render ovel-ifs-render "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort -u | tr '\n' ' ' | sed 's/ $//'
  echo
}
echo "options|$(complete_words '-' | tr ' ' '\n' | sort -u | tr '\n' ' ' | sed 's/ $//')"
echo "--tone|$(complete_words '--tone ')"
echo "--tone=l|$(complete_words '--tone=l')"
echo "--jpeg-dct|$(complete_words 'a.ifs --jpeg-dct ')"
echo "--tiff-compression|$(complete_words '--tiff-compression ')"
echo "--tiff-byte-order|$(complete_words '--tiff-byte-order ')"
echo "--tiff-res-unit|$(complete_words '--tiff-res-unit ')"
echo "--maps|$(complete_words '--maps ')"
echo "params|$(complete_words '')"
echo "params after options|$(complete_words '--seed 1 ')"
echo "-o|$(complete_words 'a.ifs -o ')"
echo "--output=|$(complete_words 'a.ifs --output=')"
echo "--save-counts|$(complete_words '--save-counts ')"
echo "--resume|$(complete_words '--resume ')"
echo "--merge|$(complete_words '--merge c.ovc ')"
echo "--size|$(complete_words '--size ')"
echo "--to|$(complete_words '--to')"
CASES
}

failures=0
check() {  # output, case, expected
  local got
  got=$(echo "$1" | sed -n "s/^$(printf '%s' "$2" | sed 's/[][\.*^$/]/\\&/g')|//p")
  [ "$got" = "$3" ] || { echo "FAIL ($mode): $2 completes to '$got', not '$3'"; failures=$((failures + 1)); }
}

choices() {  # the values --help gives an option: "--tone linear|sqrt|log" -> "linear log sqrt"
  echo "$help" | grep -oE -- "^  $1 [A-Za-z]+(\|[A-Za-z]+)+" | sed "s/^  $1 //" | tr '|' '\n' | sort | tr '\n' ' ' |
    sed 's/ $//'
}

modes=(plain)
library=/usr/share/bash-completion/bash_completion
if [ -f "$library" ]; then modes+=(bash-completion); else echo "note: bash-completion absent, tested on its own"; fi
for mode in "${modes[@]}"; do
  if [ "$mode" = plain ]; then out=$(run_cases ""); else out=$(run_cases "$library"); fi
  grep -q '^library without' <<< "$out" && { echo "FAIL: $library has no _init_completion"; failures=$((failures + 1)); }
  check "$out" options "$(echo "$help_options" | tr '\n' ' ' | sed 's/ $//')"
  for option in --tone --jpeg-dct --tiff-compression --tiff-byte-order --tiff-res-unit; do
    [ -n "$(choices "$option")" ] || { echo "FAIL: --help gives no values for $option"; failures=$((failures + 1)); }
    check "$out" "$option" "$(choices "$option")"
  done
  check "$out" "--tone=l" "linear log"
  check "$out" --maps "0 1 2 3"
  check "$out" params "B.IFS a.ifs sub"
  check "$out" "params after options" "B.IFS a.ifs sub"
  check "$out" -o "E.TIF c.ovc d.png sub"
  check "$out" "--output=" "E.TIF c.ovc d.png sub"
  check "$out" --save-counts "c.ovc sub"
  check "$out" --resume "c.ovc sub"
  check "$out" --merge "c.ovc sub"
  check "$out" --size ""
  check "$out" --to "--tone --tone-gamma"
done

if [ "$failures" -ne 0 ]; then echo "$failures check(s) failed"; exit 1; fi
echo "completion: all checks passed (${modes[*]})"
