#!/usr/bin/env bash
# Installs what building, testing and packaging need on Debian 12.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 libgl-dev
  libcanberra-dev libsodium-dev fonts-dejavu-core fonts-dejavu-extra
  libzxcvbn-dev
  lintian dpkg-dev desktop-file-utils appstream file man-db
  poppler-utils xvfb openbox xdotool
  dbus libglib2.0-bin xclip
  chromium chromium-driver
)
# The reader page is built with Node.js and npm. A Node.js installed another
# way carries its own npm, which Debian's npm package conflicts with: each is
# taken from Debian only when none is on PATH. No npm package is installed
# globally; the build runs npm ci from the committed lockfile.
command -v node >/dev/null 2>&1 || packages+=(nodejs)
command -v npm >/dev/null 2>&1 || packages+=(npm)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
