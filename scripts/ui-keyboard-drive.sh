#!/usr/bin/env bash
# Drives the demo release by keyboard alone under Xvfb: from the accepted disc
# (Ready) to a built game with Enter, through the tabs with Tab and Enter, and
# back with Escape, saving a picture of the screen after each key.
# Keys are sent through the X server's XTest extension. The disc is accepted
# beforehand in launcher.ini: the file dialog behind "Select your disc image…"
# is the desktop's own and does not exist under a bare Xvfb.
# Usage: ui-keyboard-drive.sh [output folder]   (default build/linux/ui-keyboard)
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(realpath -m "${1:-build/linux/ui-keyboard}")"
release_src=build/linux/demo-release
disc="$(realpath build/linux/demo-discs/emberfall-usa.iso)"
[ -x "$release_src/veyra-launcher" ] || { echo "build the demo release first (cmake --build --preset linux)"; exit 1; }
rm -rf "$out" && mkdir -p "$out/user"
cp -a "$release_src" "$out/release"
printf '[launcher]\ndisc = %s\nlanguage = en\nmotion = 1\nupdate_check = 0\n' "$disc" > "$out/user/launcher.ini"

display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp &
xvfb=$!
launcher=
trap '[ -n "$launcher" ] && kill "$launcher" 2>/dev/null; kill "$xvfb" 2>/dev/null' EXIT
export DISPLAY="$display"
sleep 1
RA2V_USER_DIR="$out/user" "$out/release/veyra-launcher" >"$out/launcher.log" 2>&1 &
launcher=$!
sleep 4

key() {  # key <keysym name> <picture name>: one press, then a picture once the frame settled
  /usr/bin/python3 - "$1" <<'PY'
import ctypes, sys, time
x11 = ctypes.CDLL("libX11.so.6"); xtst = ctypes.CDLL("libXtst.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XStringToKeysym.restype = ctypes.c_ulong
dpy = x11.XOpenDisplay(None)
# No window manager: keys go to the window under the pointer.
xtst.XTestFakeMotionEvent(ctypes.c_void_p(dpy), 0, 800, 500, 0)
code = x11.XKeysymToKeycode(ctypes.c_void_p(dpy), ctypes.c_ulong(x11.XStringToKeysym(sys.argv[1].encode())))
xtst.XTestFakeKeyEvent(ctypes.c_void_p(dpy), code, 1, 0); x11.XFlush(ctypes.c_void_p(dpy)); time.sleep(0.08)
xtst.XTestFakeKeyEvent(ctypes.c_void_p(dpy), code, 0, 0); x11.XFlush(ctypes.c_void_p(dpy))
x11.XCloseDisplay(ctypes.c_void_p(dpy))
PY
  sleep 0.8
  import -window root "$out/$2.png"
  echo "$1 -> $2.png"
}

key Shift_L 0-ready  # puts the pointer on the window first: the keys follow it
key Return 1-preparing
for _ in $(seq 600); do  # the demo build takes well under ten minutes
  grep -q '^built = 1' "$out/user/launcher.ini" && break
  sleep 1
done
sleep 2
import -window root "$out/2-built.png"
grep -q '^built = 1' "$out/user/launcher.ini" && echo "game built" || echo "FAIL the game was not built"
key Tab 3-tab-play
key Tab 4-tab-settings
key Return 5-settings
key Tab 6-next
key Escape 7-back-to-play
