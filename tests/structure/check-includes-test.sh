#!/usr/bin/env bash
# The include check on small made-up trees: each case must pass or fail as named.
set -euo pipefail
check=$(dirname "$0")/check-includes.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# case NAME EXPECTED(pass|fail) ALLOW-LIST-TEXT FILE=CONTENT...
case_() {
  local name=$1 expected=$2 allow=$3
  shift 3
  local tree=$work/$name
  mkdir -p "$tree/src"
  printf '%s\n' "$allow" >"$tree/allow.txt"
  for entry in "$@"; do
    mkdir -p "$(dirname "$tree/${entry%%=*}")"
    printf '%s\n' "${entry#*=}" >"$tree/${entry%%=*}"
  done
  local got=pass
  bash "$check" "$tree" "$tree/allow.txt" 2>/dev/null || got=fail
  if [[ $got != "$expected" ]]; then
    echo "case $name: expected $expected, got $got" >&2
    failures=$((failures + 1))
  fi
}

case_ clean pass '' \
  'src/shell/A.cpp=#include "platform/framework/Dialog.h"' \
  'src/platform/B.cpp=#include <QWidget>'
case_ qt_in_application fail '' 'src/still/A.cpp=#include <QPainter>'
case_ qt_module_path fail '' 'src/look/A.h=#include <QtGui/QImage>'
case_ alsa_in_application fail '' 'src/commands/A.cpp=#include <alsa/asoundlib.h>'
case_ v4l2_in_application fail '' 'src/capture/A.cpp=#  include <linux/videodev2.h>'
case_ jpeg_in_application fail '' 'src/settings/A.cpp=#include <turbojpeg.h>'
case_ allowed_pair pass 'src/shell/A.cpp QLabel # a window' 'src/shell/A.cpp=#include <QLabel>'
case_ allowed_file_other_header fail 'src/shell/A.cpp QLabel' \
  'src/shell/A.cpp=#include <QLabel>
#include <QThread>'
case_ stale_allow_entry fail 'src/shell/A.cpp QLabel' 'src/shell/A.cpp=#include <string>'
case_ platform_includes_application fail '' \
  'src/platform/capture/A.cpp=#include "capture/CCaptureWindow.h"'
case_ res_includes_application fail '' 'src/res/A.cpp=#include "shell/CMainFrame.h"'
case_ platform_includes_platform pass '' \
  'src/platform/capture/A.cpp=#include "platform/capture/CaptureTypes.h"'
case_ res_data_on_vocabulary pass '' \
  'src/res/Menus.cpp=#include "platform/framework/MenuTemplate.h"
#include "res/ResourceIds.h"
#include <span>'
case_ res_includes_framework_class fail '' 'src/res/A.cpp=#include "platform/framework/Dialog.h"'
case_ res_includes_qt fail '' 'src/res/A.cpp=#include <QString>'
case_ platform_includes_res_data fail '' \
  'src/platform/framework/Menu.cpp=#include "res/ResourceIds.h"'

if ((failures)); then
  exit 1
fi
echo "all cases as expected"
