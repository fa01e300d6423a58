#!/usr/bin/env bash
# Installs with apt-get whatever building, running and testing Brevant needs
# and is not yet on this Debian 12 machine.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools
  qt6-webengine-dev qt6-webengine-dev-tools libqt6webenginecore6-bin
  qt6-l10n-tools libqt6opengl6-dev libgl-dev libxkbcommon-dev
  libjpeg62-turbo-dev
  fonts-thai-tlwg fonts-dejavu-core fonts-symbola xvfb xauth imagemagick xdotool
  clang-14 libclang-rt-14-dev clang-format
  libbenchmark-dev libvterm-dev
  ngircd inspircd dante-server microsocks
  inetutils-telnetd inetutils-inetd socat vttest irssi weechat-headless weechat-plugins
  netcat-openbsd tmux procps strace python3
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# ircd-hybrid conflicts with ngircd as a package: unpacked beside it instead
# (scripts/peers/ircd-hybrid.sh runs it from there).
hybrid=/opt/brevant-peers/ircd-hybrid
if [ ! -x /usr/sbin/ircd-hybrid ] && [ ! -x "$hybrid/usr/sbin/ircd-hybrid" ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  tmp=$(mktemp -d)
  (cd "$tmp" && { apt-get download ircd-hybrid || { $sudo apt-get update -q && apt-get download ircd-hybrid; }; } && $sudo mkdir -p "$hybrid" &&
    $sudo dpkg-deb -x ircd-hybrid_*.deb "$hybrid")
  rm -rf "$tmp"
fi
