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

run_windows() {
  # One wineserver for the whole run cuts the cost of each test from seconds
  # to a tenth of one; it must start under the same display the tests use.
  xvfb-run -a -s "-screen 0 1920x1080x24" bash -c '
    wineserver -k 2>/dev/null; wineserver -p
    wine cmd /c exit >/dev/null 2>&1   # the first clients of a fresh server can hang
    ctest --test-dir build/windows --output-on-failure -j2 --timeout 180
    rc=$?
    wineserver -k
    exit $rc'
}

for w in "${which[@]}"; do
  echo "== $w tests"
  "run_$w" || status=1
done
exit $status
