#!/usr/bin/env bash
# Installs the Debian 12 packages the client, its tests and the demo need (as root): the desktops
# the end-to-end tests run on among them. Packages already present are not fetched again.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config git curl libjpeg-dev clang clang-format libclang-rt-14-dev
  qt6-base-dev qt6-webengine-dev qt6-image-formats-plugins qt6-translations-l10n libgl-dev
  libcurl4-openssl-dev libpcre2-dev libcpp-httplib-dev
  googletest libgtest-dev libgmock-dev
  fonts-wqy-microhei
  xvfb xauth trayer xdotool imagemagick x11-utils libxcb1-dev
  xfwm4 xfce4-panel openbox tint2 wmctrl dbus-x11
  sway xwayland qt6-wayland grim x11-xserver-utils
  xdg-utils  # the desktop opener most machines have: the tests must hold with it there
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
