#!/usr/bin/env bash
# Runs the Windows launcher's full self-test under Wine on a fresh copy of the
# Windows demo release (under Xvfb when there is no display), and lists the
# screenshots and selftest.log it wrote. The release's kit\python\python.exe
# is the test and demo stand-in that hands each script to this machine's
# python3 through demo/wine_python/python_bridge.py, started here.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "${VEYRA_DEPS:-$HOME/.cache/veyra-deps}/env.sh"
source "$here/scripts/python-bridge.sh"
source "$here/scripts/demo-common.sh"
run="$here/build/demo-windows"
demo_fresh_copy "$here/build/windows" "$run"
trap stop_python_bridge EXIT
start_python_bridge "$run"

# Wine sees the same files under drive Z:.
z() { local p=${1//\//\\}; echo "Z:$p"; }
export RA2V_USER_DIR=$(z "$run/user")
export RA2V_CAPTURE_WINDOW_DIR=$(z "$run/captures")
shots="$run/shots"
selftest=(wine "$run/release/veyra-launcher.exe" --release "$(z "$run/release")"
  --selftest "$(z "$run/discs/emberfall-usa.iso")" --wrong "$(z "$run/discs/another-game.iso")" --cancel
  --crash-seconds 3 --play-seconds 5 --shots "$(z "$shots")")

echo "Running the Windows launcher's full self-test under Wine (a few minutes)..."
set +e
if [ -n "${DISPLAY:-}" ]; then
  "${selftest[@]}"
else
  # The first clients of a fresh Wine server can hang; one throw-away
  # command settles it under the same display.
  xvfb-run -a -s "-screen 0 1920x1080x24" bash -c 'wine cmd /c exit >/dev/null 2>&1; "$@"; rc=$?; timeout 30 wineserver -w; exit $rc' _ "${selftest[@]}"
fi
rc=$?
set -e
demo_summary $rc "$shots" "$run/captures"
exit $rc
