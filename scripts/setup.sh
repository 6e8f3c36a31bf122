#!/usr/bin/env bash
# Installs what Vexol needs to build, run and test on Debian 12.
# Idempotent: when every package is present it returns without touching apt.
set -euo pipefail

packages=(
  cmake g++ make ninja-build ccache pkg-config
  qt6-base-dev libgl-dev qt6-translations-l10n
  libturbojpeg0-dev libjpeg-dev
  libasound2-dev alsa-utils libv4l-dev linux-libc-dev
  libyuv-dev libudev-dev libevdev-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  ffmpeg imagemagick
  fonts-noto-cjk xvfb xauth
  desktop-file-utils appstream lintian dpkg-dev groff-base
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
