#!/usr/bin/env bash
# Installs what building and testing the utility needs on Debian 12, when it is missing,
# and the further packages named as arguments (name:i386 for a package of the 32-bit x86
# architecture, which is then added to dpkg's architectures).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev
  fonts-wine  # the windows' faces, "MS Sans Serif" and "Fixedsys"
  libsqlite3-dev libssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  socat
  libtelnet-dev  # the port bridge's Telnet layer
  ser2net  # an independent RFC 2217 server the bridge is tested against
  "$@"
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  # A Debian installed with a root password has no sudo.
  if ! command -v sudo >/dev/null; then
    echo "Installing needs root: run this as root, or install sudo and allow yourself to use it." >&2
    exit 1
  fi
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
if printf '%s\n' "${missing[@]}" | grep -q ':i386$' && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}"
