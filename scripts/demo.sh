#!/usr/bin/env bash
# Runs the launcher on a fresh copy of the built-in demo release. With a
# display the window opens for you; without one, the full self-test runs
# under Xvfb and the script lists the screenshots it wrote.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/scripts/demo-common.sh"
run="$here/build/demo"
demo_fresh_copy "$here/build/linux" "$run"
export RA2V_USER_DIR="$run/user"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${CI:-}" ]; then
  echo "Demo release: $run/release"
  echo "Pick this disc image when the launcher asks: $run/discs/emberfall-usa.iso"
  exec "$run/release/veyra-launcher" --release "$run/release"
fi

shots="$run/shots"
export RA2V_CAPTURE_WINDOW_DIR="$run/captures"
echo "No display: running the full self-test under Xvfb (about two minutes)..."
set +e
xvfb-run -a -s "-screen 0 1920x1080x24" "$run/release/veyra-launcher" --release "$run/release" \
  --selftest "$run/discs/emberfall-usa.iso" --wrong "$run/discs/another-game.iso" --cancel \
  --crash-seconds 3 --play-seconds 5 --shots "$shots"
rc=$?
set -e
demo_summary $rc "$shots" "$run/captures"
exit $rc
