#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR under the prefix /usr, as the Debian package does, and checks what a
# desktop and its package tools read: every file in its standard place and nothing else, the .desktop file, icon,
# MIME type and AppStream component naming one another consistently, the desktop and AppStream validators, the
# MIME database built from the installed type, and the installed programs' --version.
#
# usage: install_test.sh CMAKE BUILD_DIR VERSION APP_ID GUI(0|1)
set -euo pipefail
cmake_exe=$1 build=$2 version=$3 app_id=$4 gui=$5

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

# Exactly the expected files: a stray install rule (a test program, a library, a header) shows up here.
expected=(bin/ovel-ifs-render)
if [ "$gui" = 1 ]; then expected+=(bin/ovel-ifs "$desktop" "$icon" "$mime" "$metainfo"); fi
actual=$(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
if [ "$actual" != "$wanted" ]; then
  fail "installed files differ from the expected set"; diff <(echo "$wanted") <(echo "$actual") || true
fi

for program in ovel-ifs-render $([ "$gui" = 1 ] && echo ovel-ifs); do
  if [ ! -x "$root/bin/$program" ]; then fail "bin/$program is not an executable"; continue; fi
  out=$(QT_QPA_PLATFORM= "$root/bin/$program" --version 2>&1) || fail "$program --version exits with an error"
  [ "$out" = "$program $version" ] || fail "$program --version prints '$out', not '$program $version'"
done

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
