#!/usr/bin/env bash
# Keeps the line between the application and the platform:
#
#   check-includes.sh SOURCE_DIR [ALLOW_LIST]
#
# - The application folders (shell, capture, settings, still, look, commands) include
#   no Qt, ALSA, V4L2, udev, evdev, libyuv or libjpeg header, except the file and header
#   pairs of the allow-list (a window of the framework, or a known debt said as such).
# - src/platform and src/res include no application header.
# - src/res only holds data: besides its own headers it includes platform/WinTypes.h and
#   the framework's resource vocabulary (the template types, Resources.h, MessageBox.h
#   for IDOK/IDCANCEL), and no library header. src/platform includes no src/res header,
#   so the framework reaches the data only through the lookups it declares itself.
# - Every allow-list entry still matches an include, so the list only shrinks.
# Prints each finding and exits 1 when there is one.
set -euo pipefail
root=$1
allow=${2:-$(dirname "$0")/include-allow-list.txt}
app_folders=(shell capture settings still look commands)
outside='Q[A-Za-z]*|Qt[A-Za-z]*/[A-Za-z]+|alsa/[a-z_]+\.h|linux/videodev2\.h|libv4l[a-z0-9]*\.h|libudev\.h|libevdev/[a-z_-]+\.h|libyuv(/[a-z_]+)?\.h|jpeglib\.h|turbojpeg\.h'
app_headers=$(IFS='|'; echo "${app_folders[*]}")
status=0

# "src/x/File.cpp Header" pairs the allow-list names (comments and blank lines dropped).
allowed=$(sed -e 's/#.*//' -e 's/[[:space:]]\+/ /g' -e 's/^ //' -e 's/ $//' "$allow" | grep -v '^$' | sort -u || true)

found=""
for folder in "${app_folders[@]}"; do
  [[ -d $root/src/$folder ]] || continue
  while IFS= read -r hit; do
    [[ -n $hit ]] || continue
    file=${hit%%:*}
    header=$(sed -E 's/.*#[[:space:]]*include[[:space:]]*<([^>]+)>.*/\1/' <<<"${hit#*:}")
    found+="${file#"$root"/} $header"$'\n'
  done < <(grep -rHE "^[[:space:]]*#[[:space:]]*include[[:space:]]*<($outside)>" \
             --include='*.h' --include='*.cpp' "$root/src/$folder" || true)
done
found=$(sort -u <<<"$found" | grep -v '^$' || true)

while IFS= read -r pair; do
  [[ -n $pair ]] || continue
  if ! grep -qxF "$pair" <<<"$allowed"; then
    echo "application code includes a platform library header: $pair" >&2
    status=1
  fi
done <<<"$found"

while IFS= read -r pair; do
  [[ -n $pair ]] || continue
  if ! grep -qxF "$pair" <<<"$found"; then
    echo "allow-list entry matches no include any more (remove it): $pair" >&2
    status=1
  fi
done <<<"$allowed"

for folder in platform res; do
  [[ -d $root/src/$folder ]] || continue
  while IFS= read -r hit; do
    [[ -n $hit ]] || continue
    echo "src/$folder includes an application header: ${hit#"$root"/}" >&2
    status=1
  done < <(grep -rHnE "^[[:space:]]*#[[:space:]]*include[[:space:]]*\"($app_headers)/" \
             --include='*.h' --include='*.cpp' "$root/src/$folder" || true)
done

res_vocabulary='platform/WinTypes\.h|platform/framework/(Resources|MenuTemplate|DialogTemplate|AcceleratorTemplate|StringTable|MessageBox)\.h|res/[A-Za-z0-9_]+\.h'
if [[ -d $root/src/res ]]; then
  while IFS= read -r hit; do
    [[ -n $hit ]] || continue
    echo "src/res includes more than resource vocabulary: ${hit#"$root"/}" >&2
    status=1
  done < <(grep -rHnE '^[[:space:]]*#[[:space:]]*include' --include='*.h' --include='*.cpp' "$root/src/res" |
             grep -vE "#[[:space:]]*include[[:space:]]*(\"($res_vocabulary)\"|<(cstddef|cstdint|span|string|array|string_view)>)" || true)
fi
if [[ -d $root/src/platform ]]; then
  while IFS= read -r hit; do
    [[ -n $hit ]] || continue
    echo "src/platform includes resource data: ${hit#"$root"/}" >&2
    status=1
  done < <(grep -rHnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"res/' \
             --include='*.h' --include='*.cpp' "$root/src/platform" || true)
fi

exit $status
