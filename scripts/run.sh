#!/usr/bin/env bash
# Builds the program and starts it under 64-bit Wine.
#   scripts/run.sh
# With $DISPLAY set, the program opens on that display and the script waits
# until it is closed. Without a display, it runs on a private virtual screen
# (Xvfb, 1024x768), types a command, clicks the run button, saves a
# screenshot to build/win64/cmdpane-screenshot.png and closes the program.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/install-deps.sh
cmake --preset win64
cmake --build --preset win64

exe=$root/build/win64/src/app/cmdpane.exe
shot=$root/build/win64/cmdpane-screenshot.png
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
WINE=/usr/lib/wine/wine64

# prepare_prefix [virtual-desktop]: creates $WINEPREFIX once; with an
# argument, Wine draws its own desktop of the screen's size, so that windows
# get Wine's frame and activate without a window manager.
prepare_prefix() {
  [ -f "$WINEPREFIX/.cmdpane-ready" ] && return 0
  echo "preparing the Wine prefix $WINEPREFIX"
  "$WINE" wineboot -i >/dev/null 2>&1 || true
  if [ $# -gt 0 ]; then
    "$WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    "$WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
  fi
  /usr/lib/wine/wineserver -w || true
  touch "$WINEPREFIX/.cmdpane-ready"
}

if [ -n "${DISPLAY:-}" ]; then
  export WINEPREFIX=$root/build/win64/wineprefix-run
  prepare_prefix
  exec "$WINE" "$exe"
fi

# ---- No display: a private screen, a scripted run and a screenshot. ----
export WINEPREFIX=$root/build/win64/wineprefix-screen
n=60
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
xvfb_pid=$!
export DISPLAY=":$n"
program_pid=
stop_all() {
  if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then kill "$program_pid" 2>/dev/null || true; fi
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
}
trap stop_all EXIT
for _ in $(seq 1 50); do
  [ -e "/tmp/.X11-unix/X$n" ] && break
  sleep 0.1
done

prepare_prefix virtual-desktop
"$WINE" "$exe" &
program_pid=$!

# The 416 x 250 window is centred on the 1024 x 768 screen at (304, 259);
# Wine's frame puts its client area 3 pixels right of and 22 below that.
client_x=$((304 + 3))
client_y=$((259 + 22))
command_box_x=$((client_x + 5 + 152))
command_box_y=$((client_y + 194 + 12))
run_button_x=$((client_x + 317 + 44))
run_button_y=$((client_y + 194 + 12))

sleep 6
# Replace the command box's text ("dir c:\") with a command of our own.
xdotool mousemove "$command_box_x" "$command_box_y" click 1
xdotool key --delay 20 End
for _ in $(seq 1 20); do xdotool key BackSpace; done
xdotool type --delay 40 'ver & dir c:\windows'
xdotool mousemove "$run_button_x" "$run_button_y" click 1
sleep 5

import -window root "$shot"
echo "screenshot saved: $shot"

# Esc closes the main window; the program then ends by itself.
xdotool key Escape
for _ in $(seq 1 50); do
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$program_pid" 2>/dev/null; then
  echo "the program did not end after Esc" >&2
  exit 1
fi
wait "$program_pid" && echo "the program ended with exit code 0"
