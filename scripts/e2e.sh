#!/usr/bin/env bash
# End-to-end runs of the real launcher on a fresh copy of the demo release,
# each checked by its selftest.log and its screenshots.
#   e2e.sh full|error|screens BUILD_DIR [wine]
# With "wine" the Windows launcher runs the screenshot tour under Wine.
# Needs a display (run-tests.sh gives ctest an Xvfb). Exit 0 when the run
# passed every check.
set -uo pipefail
scenario=$1
build=$(cd "$2" && pwd)
runner=${3:-}
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/veyra-e2e-$scenario.XXXXXX")
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

cp -a "$build/demo-release" "$work/release"
discs="$build/demo-discs"
shots="$work/shots"
# Wine sees the same files under drive Z:.
win() { if [ "$runner" = wine ]; then echo "Z:$1"; else echo "$1"; fi; }
launcher="$work/release/veyra-launcher"
[ "$runner" = wine ] && launcher="$work/release/veyra-launcher.exe"
mkdir -p "$work/user" "$work/captures"
export RA2V_USER_DIR=$(win "$work/user")
export RA2V_CAPTURE_WINDOW_DIR=$(win "$work/captures")
# A launcher.ini with the update check off keeps the runs off the network;
# the screenshot tour turns it on against the local release service.
printf '[launcher]\nupdate_check = 0\n' > "$work/user/launcher.ini"
# The stand-in pipeline's build takes about a minute at speed 1.
export VEYRA_BUILD_SPEED=${VEYRA_BUILD_SPEED:-0.3}

fail() { echo "e2e $scenario: FAIL $*"; [ -f "$shots/selftest.log" ] && sed 's/^/  log: /' "$shots/selftest.log"; exit 1; }

args=(--release "$(win "$work/release")" --shots "$(win "$shots")")
expect=()
case "$scenario" in
  full)
    args+=(--selftest "$discs/emberfall-usa.iso" --wrong "$discs/another-game.iso" --cancel
           --crash-seconds 2 --play-seconds 3)
    expect=("disc check: ok" "build started" "stop at compile" "build resumed" "build ended after .* s: ready"
            "game exited, code 0, crash report: none" "game exited, code [1-9][0-9]*, crash report: .*\\.txt"
            "selftest done")
    ;;
  error)
    args+=(--selftest "$discs/emberfall-usa.iso" --error-demo --play-seconds 3)
    expect=("disc check: ok" "build ended after .* s: ready"
            "game exited, code" "selftest done")
    ;;
  screens)
    printf '[launcher]\nupdate_check = 1\n' > "$work/user/launcher.ini"
    python3 "$here/tests/standins/release_server.py" --tag v0.1.7 --port-file "$work/ports" --lifetime 300 \
      >/dev/null 2>&1 &
    server_pid=$!
    for _ in $(seq 100); do [ -s "$work/ports" ] && break; sleep 0.1; done
    port=$(awk '{print $2}' "$work/ports")
    [ -n "$port" ] || fail "the release service did not start"
    args+=(--selftest "$(win "$discs/emberfall-usa.iso")" --screens
           --update-url "http://127.0.0.1:$port/repos/TheTamblers/Morvane/releases/latest"
           --download-prefix "http://127.0.0.1:$port/download/")
    expect=("update check: state 3, 0.1.7 " "source [0-9a-f]{40}, built from" "screens done")
    ;;
  *) echo "usage: e2e.sh full|error|screens BUILD_DIR"; exit 2 ;;
esac

timeout 600 $runner "$launcher" "${args[@]}"
rc=$?
[ $rc -eq 0 ] || fail "the launcher exited with $rc"
log="$shots/selftest.log"
[ -f "$log" ] || fail "no selftest.log"
for pattern in "${expect[@]}"; do
  grep -Eq "$pattern" "$log" || fail "no log line matching: $pattern"
done
n=0
for png in "$shots"/*.png; do
  [ -e "$png" ] || fail "no screenshots"
  pngcheck -q "$png" >/dev/null || fail "pngcheck rejects $(basename "$png")"
  python3 "$here/scripts/png_colours.py" "$png" || fail "$(basename "$png") is blank"
  n=$((n + 1))
done
if [ "$scenario" = screens ]; then
  # On a 1920 x 1080 display at 100 % the window keeps its base size.
  size=$(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(); print("%dx%d" % struct.unpack(">II", d[16:24]))' "$shots/s1-play.png")
  [ "$size" = 1120x760 ] || fail "window size $size, expected 1120x760"
fi
echo "e2e $scenario: ok, $n screenshots"
