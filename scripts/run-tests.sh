#!/usr/bin/env bash
# Runs the Linux tests and the Windows tests (under Wine), each under its own
# Xvfb so window tests have a display. Usage: run-tests.sh [linux|windows]...
set -uo pipefail
cd "$(dirname "$0")/.."
source "${VEYRA_DEPS:-$HOME/.cache/veyra-deps}/env.sh"
which=("$@")
[ ${#which[@]} -gt 0 ] || which=(linux windows)
status=0

run_linux() {
  xvfb-run -a -s "-screen 0 1920x1080x24" ctest --test-dir build/linux --output-on-failure -j2 --timeout 180
}

# The Windows tests cannot start the Linux interpreter from inside Wine, so
# the stand-in release service runs beside them; its ports, assets folder and
# request log reach the tests in VEYRA_TEST_HTTP (paths as Wine's Z: drive).
start_release_server() {
  local dir
  dir=$(mktemp -d /tmp/veyra-release-server.XXXXXX)
  python3 tests/standins/release_server.py --lifetime 3600 --watch-parent $$ \
    --assets "$dir" --log "$dir/requests.log" --port-file "$dir/ports" >/dev/null &
  server_pid=$!
  for _ in $(seq 100); do [ -s "$dir/ports" ] && break; sleep 0.1; done
  read -r _ port other < "$dir/ports"
  export VEYRA_TEST_HTTP="$port $other Z:$dir Z:$dir/requests.log"
}

run_windows() {
  start_release_server
  # One wineserver for the whole run cuts the cost of each test from seconds
  # to a tenth of one; it must start under the same display the tests use.
  xvfb-run -a -s "-screen 0 1920x1080x24" bash -c '
    wineserver -k 2>/dev/null; wineserver -p
    wine cmd /c exit >/dev/null 2>&1   # the first clients of a fresh server can hang
    ctest --test-dir build/windows --output-on-failure -j2 --timeout 180
    rc=$?
    wineserver -k
    exit $rc'
  local rc=$?
  kill "$server_pid" 2>/dev/null
  return $rc
}

for w in "${which[@]}"; do
  echo "== $w tests"
  "run_$w" || status=1
done
exit $status
