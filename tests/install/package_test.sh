#!/usr/bin/env bash
# Builds the Debian package from the build tree into a scratch folder, as `cpack -G DEB` does, and runs lintian on
# it: no error and no warning may remain, and every finding of the lower levels (--info --pedantic) must be one
# that packaging/lintian-notes explains. The package's control fields name the maintainer and the libraries its
# programs link, as computed by dpkg-shlibdeps.
#
# usage: package_test.sh CPACK BUILD_DIR NOTES_FILE GUI(0|1)
set -euo pipefail
cpack_exe=$1 build=$2 notes=$3 gui=$4

if ! command -v lintian > /dev/null; then
  echo "lintian absent (scripts/setup installs it): package not checked"
  exit 77
fi
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
if ! "$cpack_exe" --config "$build/CPackConfig.cmake" -G DEB -B "$scratch" > "$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log"; echo "FAIL: cpack"; exit 1
fi
debs=("$scratch"/ovel-ifs_*.deb)
[ -f "${debs[0]}" ] || { cat "$scratch/cpack.log"; echo "FAIL: cpack made no ovel-ifs_*.deb"; exit 1; }
deb=${debs[0]}

field() { dpkg-deb -f "$deb" "$1"; }
case $(field Maintainer) in "Ovel IFS developers <"*">") ;; *) fail "Maintainer is '$(field Maintainer)'" ;; esac
depends=$(field Depends)
for library in libc6 libpng16-16 libjpeg62-turbo $([ "$gui" = 1 ] && echo libqt6widgets6); do
  case ", $depends," in *", $library "*) ;; *) fail "Depends does not name $library: $depends" ;; esac
done
# The package tools show the description on a terminal.
if dpkg-deb -f "$deb" Description | awk 'length > 80 { bad = 1 } END { exit !bad }'; then
  fail "a Description line is longer than 80 characters"
fi

# lintian exits non-zero for errors only; the findings are read from its output instead.
findings=$(lintian --info --pedantic --tag-display-limit 0 "$deb" 2>&1 | grep -E '^[EWIPX]: ' || true)
echo "$findings"
if grep -qE '^[EW]: ' <<< "$findings"; then fail "lintian reports errors or warnings"; fi
# The other findings: each tag must be explained in the notes, one line "tag: why".
while read -r level package tag rest; do
  [ -n "$tag" ] || continue
  grep -q "^$tag: ." "$notes" || fail "lintian's $tag is not explained in $(basename "$notes")"
done <<< "$(grep -vE '^[EW]: ' <<< "$findings" || true)"

if [ "$failures" -ne 0 ]; then echo "$failures check(s) failed"; exit 1; fi
echo "package: lintian clean; $(grep -c . <<< "$findings" || true) finding(s) of the lower levels, all explained"
