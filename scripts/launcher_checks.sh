#!/usr/bin/env bash
# Checks of the real launcher executable from outside:
#   launcher_checks.sh version LAUNCHER [wine]   --version --report writes exactly two lines
#   launcher_checks.sh nowindow LAUNCHER          a window that cannot open: exit 1, no settings written
set -uo pipefail
what=$1 launcher=$2 runner=${3:-}
work=$(mktemp -d "${TMPDIR:-/tmp}/veyra-launcher-check.XXXXXX")
trap 'rm -rf "$work"' EXIT
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
    grep -qx 'version 0\.1\.6' "$report" || fail "no version line"
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
  *) echo "usage: launcher_checks.sh version|nowindow LAUNCHER [wine]"; exit 2 ;;
esac
echo "launcher check $what: ok"
