#!/usr/bin/env bash
# Checks of the real launcher executable from outside:
#   launcher_checks.sh version LAUNCHER [wine]   --version --report writes exactly two lines
#   launcher_checks.sh nowindow LAUNCHER          a window that cannot open: exit 1, no settings written
#   launcher_checks.sh selfcheck LAUNCHER FILE [wine]
#                                 --self-check on FILE (no disc image) with the release beside the launcher
#                                 says "self-check OK"; under Wine through the test interpreter bridge
set -uo pipefail
what=$1 launcher=$2 runner=${3:-}
work=$(mktemp -d "${TMPDIR:-/tmp}/veyra-launcher-check.XXXXXX")
source "$(dirname "$0")/python-bridge.sh"
trap 'stop_python_bridge; rm -rf "$work"' EXIT
fail() { echo "launcher check $what: FAIL $*"; exit 1; }

case "$what" in
  version)
    report="$work/report.txt"
    arg=$report
    [ "$runner" = wine ] && arg="Z:$report"   # Wine's view of the same file
    $runner "$launcher" --version --selftest ignored.iso --report "$arg"
    rc=$?
    [ $rc -eq 0 ] || fail "exit code $rc"
    [ -f "$report" ] || fail "no report file"
    [ "$(wc -l < "$report")" -eq 2 ] || fail "$(cat "$report")"
    # The version CMake's project() names, which the build writes into the launcher.
    grep -qxF "version ${VEYRA_EXPECTED_VERSION:?}" "$report" || fail "no version line"
    grep -Eqx 'commit [0-9a-f]{40}' "$report" || fail "no commit line"
    ;;
  nowindow)
    export RA2V_USER_DIR="$work/user"
    # No display and a video driver that does not exist: SDL cannot start, and
    # the error box falls back to standard error instead of waiting for a click.
    env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEO_DRIVER=no-such-driver "$launcher" 2> "$work/err"
    rc=$?
    [ $rc -eq 1 ] || fail "exit code $rc"
    grep -q "SDL could not start" "$work/err" || fail "no error text: $(cat "$work/err")"
    [ -z "$(find "$work/user" -name '*.ini' 2>/dev/null)" ] || fail "settings were written"
    ;;
  selfcheck)
    file=$3 runner=${4:-}
    release=$(cd "$(dirname "$launcher")" && pwd)
    report="$work/report.txt"
    export RA2V_USER_DIR="$work/user"
    if [ "$runner" = wine ]; then
      start_python_bridge "$work" || fail "no Python bridge"
      file="Z:$file" release="Z:$release" report_arg="Z:$report" RA2V_USER_DIR="Z:$work/user"
    else
      report_arg=$report
    fi
    $runner "$launcher" --self-check "$file" --release "$release" --report "$report_arg"
    rc=$?
    [ -f "$report" ] || fail "no report file (exit code $rc)"
    grep -qx 'self-check OK' "$report" || fail "exit code $rc: $(cat "$report")"
    [ $rc -eq 0 ] || fail "exit code $rc"
    ;;
  *) echo "usage: launcher_checks.sh version|nowindow|selfcheck LAUNCHER [FILE] [wine]"; exit 2 ;;
esac
echo "launcher check $what: ok"
