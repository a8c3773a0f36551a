#!/usr/bin/env bash
# Runs the launcher on a fresh copy of the built-in demo release. With a
# display the window opens for you; without one, the full self-test runs
# under Xvfb and the script lists the screenshots it wrote.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build/linux"
run="$here/build/demo"
rm -rf "$run"
mkdir -p "$run"
cp -a "$build/demo-release" "$run/release"
cp -a "$build/demo-discs" "$run/discs"
export RA2V_USER_DIR="$run/user"
mkdir -p "$RA2V_USER_DIR"
# The demo release is not published anywhere: keep the start-up update check off.
printf '[launcher]\nupdate_check = 0\n' > "$RA2V_USER_DIR/launcher.ini"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${CI:-}" ]; then
  echo "Demo release: $run/release"
  echo "Pick this disc image when the launcher asks: $run/discs/emberfall-usa.iso"
  exec "$run/release/veyra-launcher" --release "$run/release"
fi

shots="$run/shots"
export RA2V_CAPTURE_WINDOW_DIR="$run/captures"
mkdir -p "$RA2V_CAPTURE_WINDOW_DIR"
echo "No display: running the full self-test under Xvfb (about two minutes)..."
set +e
xvfb-run -a -s "-screen 0 1920x1080x24" "$run/release/veyra-launcher" --release "$run/release" \
  --selftest "$run/discs/emberfall-usa.iso" --wrong "$run/discs/another-game.iso" --cancel \
  --crash-seconds 3 --play-seconds 5 --shots "$shots"
rc=$?
set -e
echo
echo "Self-test exit code: $rc (0 = every step passed)"
echo "Log: $shots/selftest.log"
echo "Screenshots:"
ls -1 "$shots"/*.png 2>/dev/null | sed 's/^/  /'
find "$RA2V_CAPTURE_WINDOW_DIR" -name '*.png' 2>/dev/null | sed 's/^/  /'
exit $rc
