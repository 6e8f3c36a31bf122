#!/usr/bin/env bash
# Sets up and builds Vexol, then makes the Debian package build/package/vexol_*.deb with
# CPack and checks it with lintian. With --install it then installs the package with
# apt (through sudo when not run as root): Vexol appears in the desktop's menu and
# `man vexol-cap` works.
set -euo pipefail
cd "$(dirname "$0")/.."

install=0
for argument in "$@"; do
  case $argument in
  --install) install=1 ;;
  -h | --help)
    echo "Usage: scripts/package.sh [--install]"
    exit 0
    ;;
  *)
    echo "package.sh: unknown argument '$argument' (try --help)" >&2
    exit 2
    ;;
  esac
done

bash scripts/build.sh
rm -rf build/package
(cd build && cpack -G DEB -B "$PWD/package" >/dev/null)
debs=(build/package/vexol_*.deb)
deb=${debs[0]}
[ -f "$deb" ] || { echo "package.sh: CPack made no package" >&2; exit 1; }
echo "Checking $deb with lintian"
lintian --fail-on error "$deb"
echo "Package: $deb"

if [ "$install" -eq 1 ]; then
  SUDO=
  if [ "$(id -u)" -ne 0 ]; then
    SUDO=sudo
  fi
  $SUDO apt-get install -y "./$deb"
fi
