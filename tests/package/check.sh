#!/usr/bin/env bash
# Checks what an installation of Vexol holds, with the tools desktops and Debian check
# it with.
#
#   check.sh CHECK SOURCE_DIR BUILD_DIR VERSION
#
#   desktop   desktop-file-validate and appstreamcli pass; the entry starts vexol with
#             its icon, which exists in every size
#   manpages  the manual pages format without warnings and name the same commands
#             and options as the programs' --help
#   versions  the programs, the manual pages, the AppStream releases and the
#             changelog all name the project's version
#   deb       CPack builds the package, lintian finds no error, and the programs
#             unpacked from it into a temporary root run from there
set -euo pipefail
check=$1 src=$2 build=$3 version=$4
dist=$src/dist

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Plain text of a manual page.
man_text() {
  groff -man -Tascii -P-c -P-b -P-o -P-u "$1"
}

# The long options a text names, one a line, sorted.
options_of() {
  grep -oE -- '--[a-z][a-z-]*' | sort -u
}

check_desktop() {
  local out
  out=$(desktop-file-validate "$dist/vexol.desktop" 2>&1) || fail "desktop-file-validate: $out"
  [ -z "$out" ] || fail "desktop-file-validate: $out"
  for line in 'Exec=vexol %f' 'Icon=vexol' 'Categories=AudioVideo;Video;Recorder;' 'Name[ja]=' \
    'Comment='; do
    grep -qF -- "$line" "$dist/vexol.desktop" || fail "vexol.desktop lacks '$line'"
  done
  out=$(appstreamcli validate --no-net "$dist/org.vexol.vexol.metainfo.xml" 2>&1) ||
    fail "appstreamcli validate: $out"
  if grep -qE '^[EWI]:' <<<"$out"; then fail "appstreamcli validate: $out"; fi
  grep -qF '<launchable type="desktop-id">vexol.desktop</launchable>' \
    "$dist/org.vexol.vexol.metainfo.xml" || fail "the metadata does not launch vexol.desktop"
  for size in 16 32 48 64 128; do
    local png=$dist/icons/${size}x${size}/vexol.png
    [ "$(identify -format '%m %wx%h' "$png")" = "PNG ${size}x${size}" ] ||
      fail "$png is not a ${size}x${size} PNG"
  done
  grep -q '<svg' "$dist/icons/vexol.svg" || fail "the scalable icon is no SVG"
}

check_manpages() {
  local page out
  for page in vexol vexol-cap; do
    out=$(groff -man -Tutf8 -ww -z "$build/dist/man/$page.1" 2>&1)
    [ -z "$out" ] || fail "$page.1 formats with warnings: $out"
    diff <("$build/$page" --help | options_of) <(man_text "$build/dist/man/$page.1" | options_of) ||
      fail "the options of '$page --help' (<) and of $page(1) (>) differ"
  done
  local commands
  commands=$("$build/vexol-cap" --help | sed -nE 's/^  vexol-cap ([a-z]+).*/\1/p' | sort -u)
  [ -n "$commands" ] || fail "vexol-cap --help names no command"
  for command in $commands; do
    man_text "$build/dist/man/vexol-cap.1" | grep -qE "^ +vexol-cap $command( |$)" ||
      fail "vexol-cap(1) does not show the command $command"
  done
}

check_versions() {
  [ "$("$build/vexol" --version)" = "vexol $version" ] || fail "vexol --version"
  [ "$("$build/vexol-cap" --version)" = "vexol-cap $version" ] || fail "vexol-cap --version"
  for page in vexol vexol-cap; do
    head -1 "$build/dist/man/$page.1" | grep -qF "\"Vexol $version\"" ||
      fail "$page(1) does not name version $version"
  done
  grep -m1 '<release ' "$dist/org.vexol.vexol.metainfo.xml" | grep -qF "version=\"$version\"" ||
    fail "the newest AppStream release is not $version"
  head -1 "$dist/debian/changelog" | grep -qF "vexol ($version) " ||
    fail "the newest changelog entry is not $version"
}

check_deb() {
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  (cd "$build" && cpack -G DEB -B "$work/out") >"$work/cpack.log" 2>&1 ||
    fail "cpack: $(cat "$work/cpack.log")"
  local deb
  deb=$(echo "$work"/out/vexol_"$version"_*.deb)
  [ -f "$deb" ] || fail "cpack made no vexol_${version}_*.deb: $(ls "$work/out")"

  lintian --fail-on error "$deb" || fail "lintian reports errors"

  [ "$(dpkg-deb -f "$deb" Package)" = vexol ] || fail "package name"
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
  [ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no maintainer"
  local depends
  depends=$(dpkg-deb -f "$deb" Depends)
  for library in libc6 libqt6widgets6 libturbojpeg0 libasound2; do
    grep -qE "(^|, )$library( |,|$)" <<<"$depends" || fail "Depends lacks $library: $depends"
  done

  local root=$work/root
  dpkg-deb -x "$deb" "$root"
  local expected=(
    usr/bin/vexol usr/bin/vexol-cap
    usr/share/vexol/help/vexol.en.html usr/share/vexol/help/vexol.ja.html
    usr/share/applications/vexol.desktop usr/share/metainfo/org.vexol.vexol.metainfo.xml
    usr/share/icons/hicolor/scalable/apps/vexol.svg
    usr/share/man/man1/vexol.1.gz usr/share/man/man1/vexol-cap.1.gz
    usr/share/doc/vexol/copyright usr/share/doc/vexol/changelog.gz
  )
  for size in 16 32 48 64 128; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/vexol.png")
  done
  for file in "${expected[@]}"; do
    [ -f "$root/$file" ] || fail "the package lacks /$file"
  done

  # The unpacked programs, as a user without a display runs them.
  local cap=$root/usr/bin/vexol-cap
  local list
  list=$(env -u DISPLAY -u QT_QPA_PLATFORM "$cap" list) || fail "vexol-cap list"
  local driver
  driver=$(sed -nE 's/^([0-9]+)  .*Test Pattern Camera.*/\1/p' <<<"$list")
  [ -n "$driver" ] || fail "vexol-cap list shows no test-pattern camera: $list"
  env -u DISPLAY -u QT_QPA_PLATFORM "$cap" still --driver "$driver" --size 160x120 \
    --out "$work/still.bmp" >/dev/null || fail "vexol-cap still"
  [[ "$(identify -format "%m %wx%h" "$work/still.bmp")" =~ ^BMP[0-9]?\ 160x120$ ]] ||
    fail "the unpacked vexol-cap wrote no 160x120 BMP"
  [ "$("$root/usr/bin/vexol" --version)" = "vexol $version" ] || fail "unpacked vexol --version"
  "$root/usr/bin/vexol" --help | grep -qxF "Help page: $root/usr/share/vexol/help/vexol.en.html" ||
    fail "the unpacked vexol does not find its installed help page: $("$root/usr/bin/vexol" --help)"
  echo "package $(basename "$deb") checked"
}

case $check in
desktop) check_desktop ;;
manpages) check_manpages ;;
versions) check_versions ;;
deb) check_deb ;;
*) fail "unknown check $check" ;;
esac
