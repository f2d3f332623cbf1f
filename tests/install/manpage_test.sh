#!/usr/bin/env bash
# The man pages are written by hand; this keeps them naming what the programs' --help names, so that the two cannot
# drift apart: the same options, the same fixed values of the options that take one of a few words, and (for the
# renderer) the same exit statuses. It also has man render both pages and fails on any warning of the formatter.
#
# usage: manpage_test.sh RENDER_EXE GUI_EXE|- MAN_DIR    (MAN_DIR: the configured ovel-ifs-render.1 and ovel-ifs.1)
set -euo pipefail
render=$1 gui=$2 mandir=$3

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Option names of --help: the entries of its option lists, which start two spaces in.
help_options() { grep -E '^  -' | grep -oE '(^|[ ,])--?[a-z][a-z-]*' | tr -d ' ,' | sort -u; }
# Option names of a man page: what heads its .TP entries.
man_options() {
  sed 's/\\-/-/g' "$1" | awk 'tp { print } { tp = ($0 == ".TP") }' | grep -oE '(^|[ "])--?[a-z][a-z-]*' |
    tr -d ' "' | sort -u
}
# "--option a|b|c" pairs.
help_choices() { grep -E '^  --' | grep -oE -- '--[a-z-]+ [A-Za-z]+(\|[A-Za-z]+)+' | sort -u; }
man_choices() {
  sed 's/\\-/-/g' "$1" | grep -E '^\.BR --' | sed -E 's/^\.BR (--[a-z-]+) "([^"]*)"/\1\2/' |
    grep -oE -- '--[a-z-]+ [A-Za-z]+(\|[A-Za-z]+)+' | sort -u
}
# Exit statuses: "  N  text" under --help's "Exit status:", ".TP/.B N" under the page's EXIT STATUS.
help_statuses() { sed -n '/^Exit status:/,/^$/p' | grep -oE '^  [0-9]+ ' | tr -d ' ' | sort -u; }
man_statuses() {
  sed -n '/^\.SH EXIT STATUS/,/^\.SH [^E]/p' "$1" | awk 'tp { print } { tp = ($0 == ".TP") }' |
    sed -n 's/^\.B \([0-9][0-9]*\)$/\1/p' | sort -u
}
same() {  # what, from --help, from the page
  if [ "$2" != "$3" ]; then
    fail "$1 differ between --help (<) and the man page (>)"
    diff <(echo "$2") <(echo "$3") || true
  fi
}

page=$mandir/ovel-ifs-render.1
help=$("$render" --help)
[ -n "$(echo "$help" | help_options)" ] || fail "no options found in ovel-ifs-render --help"
same "ovel-ifs-render's options" "$(echo "$help" | help_options)" "$(man_options "$page")"
[ -n "$(echo "$help" | help_choices)" ] || fail "no fixed option values found in ovel-ifs-render --help"
same "ovel-ifs-render's fixed option values" "$(echo "$help" | help_choices)" "$(man_choices "$page")"
[ -n "$(echo "$help" | help_statuses)" ] || fail "no exit statuses found in ovel-ifs-render --help"
same "ovel-ifs-render's exit statuses" "$(echo "$help" | help_statuses)" "$(man_statuses "$page")"

pages=("$page")
if [ "$gui" != - ]; then
  pages+=("$mandir/ovel-ifs.1")
  help=$(QT_QPA_PLATFORM= "$gui" --help)
  [ -n "$(echo "$help" | help_options)" ] || fail "no options found in ovel-ifs --help"
  same "ovel-ifs's options" "$(echo "$help" | help_options)" "$(man_options "$mandir/ovel-ifs.1")"
fi

# Every page has the sections a reader and lintian look for, and formats without a warning.
for p in "${pages[@]}"; do
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" FILES "SEE ALSO"; do
    grep -qx "\.SH $section" "$p" || fail "$(basename "$p") has no $section section"
  done
  if command -v man > /dev/null; then
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=all -l "$p" 2>&1 > /dev/null || true)
    [ -z "$warnings" ] || fail "man warns about $(basename "$p"): $warnings"
  else
    echo "note: man absent (package man-db), pages not formatted"
  fi
done

if [ "$failures" -ne 0 ]; then echo "$failures check(s) failed"; exit 1; fi
echo "man pages: all checks passed"
