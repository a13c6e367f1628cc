#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run, test and benchmark. Idempotent:
# when everything is present it changes nothing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-httpserver-dev qcoro-qt6-dev libgl-dev libgif-dev
  fonts-noto-cjk xvfb desktop-file-utils
  fonts-noto-core fonts-dejavu-core
  procps util-linux e2fsprogs dosfstools exfatprogs exfat-fuse fusefat btrfs-progs pkexec
  gdu hyperfine
  ccache lld
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages are installed"
  exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi
echo "install-deps: installing ${missing[*]}"
"${sudo[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
