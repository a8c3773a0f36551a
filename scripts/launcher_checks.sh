#!/usr/bin/env bash
# Checks of the real launcher executable from outside:
#   launcher_checks.sh version LAUNCHER [wine]   --version --report writes exactly two lines
#   launcher_checks.sh nowindow LAUNCHER          a window that cannot open: exit 1, no settings written
#   launcher_checks.sh selfcheck LAUNCHER FILE [wine]
#                                 --self-check on FILE (no disc image) with the release beside the launcher
#                                 says "self-check OK"; under Wine through the test interpreter bridge
#   launcher_checks.sh desktop DEMO_RELEASE BUILD_DIR
#                                 the Linux archive packed from the demo release carries a menu entry
#                                 desktop-file-validate accepts and the icons; its launcher, unpacked
#                                 under an awkward path, installs both into a scratch XDG data folder
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
  desktop)
    build=$3
    command -v desktop-file-validate >/dev/null || fail "desktop-file-validate is missing (scripts/setup.sh installs it)"
    python3 "$(dirname "$0")/make_release.py" "$launcher" "$work/dist" --suffix=-tambler-linux.zip \
      --tool "$build/release-key/release_key" --key "$build/release-key/test-secret.hex" >/dev/null \
      || fail "the release could not be packed"
    # A folder name with every character Exec= treats specially.
    unpacked="$work/Mes jeux/l'été \$1 100%"
    mkdir -p "$unpacked"
    # Unpacked with the permission bits the archive carries, as unzip does.
    python3 - "$work"/dist/*-tambler-linux.zip "$unpacked" <<'PY' || fail "the archive could not be unpacked"
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    for info in z.infolist():
        path = z.extract(info, sys.argv[2])
        os.chmod(path, (info.external_attr >> 16) & 0o777 or 0o644)
PY
    top=$(echo "$unpacked"/Morvane-*)
    desktop-file-validate "$top/share/applications/veyra-launcher.desktop" || fail "the archive's entry"
    for n in 16 24 32 48 64 128 256; do
      icon="$top/share/icons/hicolor/${n}x${n}/apps/veyra-launcher.png"
      [ -f "$icon" ] || fail "no ${n}x${n} icon in the archive"
      size=$(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print("%dx%d" % struct.unpack(">II", d[16:24]) if d[:8] == b"\x89PNG\r\n\x1a\n" else "not a PNG")' "$icon")
      [ "$size" = "${n}x${n}" ] || fail "the ${n}x${n} icon is $size"
    done

    HOME="$work/home" XDG_DATA_HOME="$work/data" "$top/veyra-launcher" --install-desktop-entry > "$work/out" 2>&1 \
      || fail "--install-desktop-entry: $(cat "$work/out")"
    entry="$work/data/applications/veyra-launcher.desktop"
    desktop-file-validate "$entry" || fail "the installed entry"
    # Inside the quotes the $ takes a backslash, which the file doubles; % is doubled.
    want="Exec=\"${top//\$/\\\\\$}/veyra-launcher\""
    want=${want//%/%%}
    grep -qxF "$want" "$entry" || fail "expected $want in: $(cat "$entry")"
    grep -qxF "TryExec=$top/veyra-launcher" "$entry" || fail "TryExec in: $(cat "$entry")"
    [ "$(find "$work/data/icons/hicolor" -name veyra-launcher.png | wc -l)" -eq 7 ] || fail "icons not installed"
    [ ! -e "$work/home/.local" ] || fail "wrote under HOME although XDG_DATA_HOME was set"
    ;;
  *) echo "usage: launcher_checks.sh version|nowindow|selfcheck|desktop LAUNCHER [FILE|BUILD] [wine]"; exit 2 ;;
esac
echo "launcher check $what: ok"
