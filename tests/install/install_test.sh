#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR under the prefix /usr, as the Debian package does, and checks what a
# desktop and its package tools read: every file in its standard place and nothing else, the .desktop file, icon,
# MIME type and AppStream component naming one another consistently, the desktop and AppStream validators, the
# MIME database built from the installed type, the installed programs' --version, and what a Debian package
# carries beside them: man pages, the shell completion, the copyright file and changelog, and one licence named
# alike in all of them and in LICENSE.
#
# usage: install_test.sh CMAKE BUILD_DIR VERSION APP_ID GUI(0|1) SOURCE_DIR
set -euo pipefail
cmake_exe=$1 build=$2 version=$3 app_id=$4 gui=$5 source=$6

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
have() { command -v "$1" > /dev/null 2>&1; }

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
if ! DESTDIR="$stage" "$cmake_exe" --install "$build" --prefix /usr > "$stage.log" 2>&1; then
  cat "$stage.log"; rm -f "$stage.log"
  echo "FAIL: cmake --install"; exit 1
fi
rm -f "$stage.log"
root=$stage/usr
desktop=share/applications/$app_id.desktop
icon=share/icons/hicolor/scalable/apps/$app_id.svg
mime=share/mime/packages/$app_id.xml
metainfo=share/metainfo/$app_id.metainfo.xml
completion=share/bash-completion/completions/ovel-ifs-render
copyright=share/doc/ovel-ifs/copyright
changelog=share/doc/ovel-ifs/changelog.gz

# Exactly the expected files: a stray install rule (a test program, a library, a header) shows up here.
expected=(bin/ovel-ifs-render share/man/man1/ovel-ifs-render.1.gz "$completion" "$copyright" "$changelog")
if [ "$gui" = 1 ]; then
  expected+=(bin/ovel-ifs share/man/man1/ovel-ifs.1.gz "$desktop" "$icon" "$mime" "$metainfo")
fi
actual=$(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
if [ "$actual" != "$wanted" ]; then
  fail "installed files differ from the expected set"; diff <(echo "$wanted") <(echo "$actual") || true
fi

for program in ovel-ifs-render $([ "$gui" = 1 ] && echo ovel-ifs); do
  if [ ! -x "$root/bin/$program" ]; then fail "bin/$program is not an executable"; continue; fi
  out=$(QT_QPA_PLATFORM= "$root/bin/$program" --version 2>&1) || fail "$program --version exits with an error"
  [ "$(head -n 1 <<< "$out")" = "$program $version" ] ||
    fail "$program --version begins '$(head -n 1 <<< "$out")', not '$program $version'"
  grep -q '^License GPLv3+: GNU GPL version 3 or later' <<< "$out" || fail "$program --version names no licence"
  page=$root/share/man/man1/$program.1.gz
  if [ -f "$page" ]; then
    gzip -t "$page" || fail "$program.1.gz is not a gzip file"
    zcat "$page" | grep -q "^\.TH .* \"Ovel IFS $version\"" || fail "$program.1 does not name version $version"
  fi
done

# One licence, GPL version 3 or later, under each of its names: the full text in LICENSE, the SPDX id in the
# AppStream data, the Debian short name in the machine-readable copyright file.
if [ -f /usr/share/common-licenses/GPL-3 ]; then
  cmp -s "$source/LICENSE" /usr/share/common-licenses/GPL-3 || fail "LICENSE is not the text of the GPL version 3"
fi
if [ "$gui" = 1 ] && [ -f "$root/$metainfo" ]; then
  grep -q '<project_license>GPL-3.0-or-later</project_license>' "$root/$metainfo" ||
    fail "the metainfo does not license the program GPL-3.0-or-later"
fi
if [ -f "$root/$copyright" ]; then
  [ "$(head -n 1 "$root/$copyright")" = "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ] ||
    fail "the copyright file is not in the machine-readable format"
  # The paragraph of "Files: *" names the licence, and a stand-alone paragraph gives its text.
  files_licence=$(awk '/^Files: \*$/ { f = 1 } f && /^License:/ { print $2; exit }' "$root/$copyright")
  [ "$files_licence" = "GPL-3+" ] || fail "the copyright file licenses the files '$files_licence', not GPL-3+"
  grep -qx "License: GPL-3+" "$root/$copyright" || fail "the copyright file has no GPL-3+ licence paragraph"
  grep -q '/usr/share/common-licenses/GPL-3' "$root/$copyright" || fail "the copyright file does not point to GPL-3"
fi
if [ -f "$root/$changelog" ]; then
  gzip -t "$root/$changelog" || fail "changelog.gz is not a gzip file"
  if have dpkg-parsechangelog; then
    zcat "$root/$changelog" > "$stage/changelog"
    newest=$(dpkg-parsechangelog -l "$stage/changelog" -S Version 2>&1) || fail "dpkg-parsechangelog: $newest"
    [ "$newest" = "$version" ] || fail "the changelog's newest entry is $newest, not $version: add an entry"
    rm -f "$stage/changelog"
  fi
fi
# bash-completion loads a completion from this folder by the name of the command being completed.
if [ -f "$root/$completion" ]; then
  registered=$(bash --norc -c ". '$root/$completion' && complete -p ovel-ifs-render" 2>&1) ||
    fail "the completion does not load: $registered"
  [ "$registered" = "complete -F _ovel_ifs_render ovel-ifs-render" ] ||
    fail "the completion registers '$registered'"
fi

if [ "$gui" = 1 ] && [ -f "$root/$desktop" ] && [ -f "$root/$metainfo" ] && [ -f "$root/$mime" ]; then
  entry() { sed -n "s/^$1=//p" "$root/$desktop"; }
  [ "$(entry Icon)" = "$app_id" ] || fail "the .desktop Icon is '$(entry Icon)', not the installed icon $app_id"
  [ "$(entry Exec)" = "ovel-ifs %F" ] || fail "the .desktop Exec is '$(entry Exec)'"
  type=$(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$root/$mime")
  [ -n "$type" ] || fail "no mime-type in $mime"
  case ";$(entry MimeType)" in *";$type;"*) ;; *) fail "the .desktop MimeType does not name $type" ;; esac
  grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$root/$metainfo" ||
    fail "the metainfo does not launch $app_id.desktop"
  grep -q "<release version=\"$version\"" "$root/$metainfo" || fail "the metainfo has no release $version"
  grep -q "<mediatype>$type</mediatype>" "$root/$metainfo" || fail "the metainfo does not provide $type"

  if have desktop-file-validate; then
    desktop-file-validate "$root/$desktop" || fail "desktop-file-validate"
  else
    echo "note: desktop-file-validate absent (package desktop-file-utils), .desktop file not validated"
  fi
  if have appstreamcli; then
    appstreamcli validate --no-net "$root/$metainfo" || fail "appstreamcli validate"
  else
    echo "note: appstreamcli absent (package appstream), metainfo not validated"
  fi
  if have xmllint; then
    xmllint --noout "$root/$icon" || fail "the icon is not well-formed XML"
    grep -q '<svg ' "$root/$icon" || fail "the icon is not an SVG"
  fi
  # The database the desktop builds from the installed type maps *.ifs to it.
  if have update-mime-database; then
    # (with the staged tree on the search path, so that the tool has nothing to say about that)
    if XDG_DATA_DIRS="$root/share" update-mime-database "$root/share/mime" 2>&1 | grep .; then
      fail "update-mime-database complained"
    fi
    grep -qx "[0-9]*:$type:\*\.ifs" "$root/share/mime/globs2" || fail "*.ifs is not mapped to $type"
  else
    echo "note: update-mime-database absent (package shared-mime-info), MIME type not compiled"
  fi
fi

if [ "$failures" -ne 0 ]; then echo "$failures check(s) failed"; exit 1; fi
echo "install: all checks passed"
