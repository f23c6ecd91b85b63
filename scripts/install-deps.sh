#!/usr/bin/env bash
# Installs everything the build, the tests and the benchmark need on Debian 12.
# Idempotent: when every package and the zh_CN.UTF-8 locale are present it returns in a second.
set -euo pipefail

packages=(
  cmake make
  g++-mingw-w64-x86-64 g++-mingw-w64-i686
  wine wine64
  xvfb xdotool imagemagick
  googletest
  fonts-wqy-zenhei fonts-wine locales
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  as_root apt-get update
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
fi

# Code page 936 under Wine needs the generated zh_CN.UTF-8 locale.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'zh_CN.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  as_root locale-gen
fi
