#!/usr/bin/env bash
# Installs what is missing, builds both targets and runs every test
# (under Wine on a private virtual screen). Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake --preset win32
cmake --build --preset win32
cmake --preset win64
cmake --build --preset win64

stop_wine() {
  local build=build/win64
  WINEPREFIX=$PWD/$build/wineprefix /usr/lib/wine/wineserver -k 2>/dev/null || true
  if [ -f $build/xvfb.display ]; then
    read -r _ pid < $build/xvfb.display
    kill "$pid" 2>/dev/null || true
    rm -f $build/xvfb.display
  fi
}
trap stop_wine EXIT

ctest --preset win64 "$@"
