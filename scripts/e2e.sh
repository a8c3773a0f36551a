#!/usr/bin/env bash
# End-to-end runs of the real launcher on a fresh copy of the demo release,
# each checked by its selftest.log and its screenshots.
#   e2e.sh full|error|screens|killed|gamepad BUILD_DIR [wine]
# "gamepad" is the full run with every press made through a virtual gamepad
# (the focus moved onto each button first); its screenshots show the focus.
# With "wine" the Windows launcher runs under Wine, its scripts through the
# test interpreter bridge (demo/wine_python), from a folder whose name holds
# a blank and accents; "full" then also checks that the build stopped at
# compile left no process behind, and "killed" (Wine only) kills the
# launcher outright in the middle of a build and checks the same.
# Needs a display (run-tests.sh gives ctest an Xvfb). Exit 0 when the run
# passed every check.
set -uo pipefail
scenario=$1
build=$(cd "$2" && pwd)
runner=${3:-}
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/veyra-e2e-$scenario.XXXXXX")
server_pid=""
launcher_pid=""
watchdog=""
appdata_user=""
source "$here/scripts/python-bridge.sh"
end_watchdog() { [ -n "$watchdog" ] && pkill -P "$watchdog" 2>/dev/null && wait "$watchdog" 2>/dev/null; watchdog=""; }
cleanup() {
  [ -n "$launcher_pid" ] && kill -9 "$launcher_pid" 2>/dev/null
  end_watchdog
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  stop_python_bridge
  [ -n "$appdata_user" ] && rm -rf "$appdata_user"
  rm -rf "$work"
}
trap cleanup EXIT

# Under Wine the paths on the launcher's command lines (and so on the
# interpreter's) carry a blank and non-ASCII letters, as a Windows user's
# folders often do.
top=$work
[ "$runner" = wine ] && top="$work/Jeux vidéo à l'essai"
mkdir -p "$top"
cp -a "$build/demo-release" "$top/release"
cp -a "$build/demo-discs" "$top/discs"
discs="$top/discs"
shots="$work/shots"
# Wine sees the same files under drive Z:.
win() { if [ "$runner" = wine ]; then local p=${1//\//\\}; echo "Z:$p"; else echo "$1"; fi; }
launcher="$top/release/veyra-launcher"
[ "$runner" = wine ] && launcher="$top/release/veyra-launcher.exe"
user="$work/user"
if [ "$runner" = wine ] && [ "$scenario" = full ]; then
  # This run finds its user folder by the launcher's own rule, Morvane under
  # APPDATA (which Wine sets itself, inside its prefix).
  unset RA2V_USER_DIR
  appdata=$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')
  user=$(winepath -u "$appdata\\Morvane" 2>/dev/null)
  [ -n "$appdata" ] && [ -n "$user" ] || { echo "e2e $scenario: FAIL Wine names no APPDATA"; exit 1; }
  rm -rf "$user"
  appdata_user=$user
else
  export RA2V_USER_DIR=$(win "$user")
fi
mkdir -p "$user" "$work/captures"
export RA2V_CAPTURE_WINDOW_DIR=$(win "$work/captures")
# A launcher.ini with the update check off keeps the runs off the network;
# the screenshot tour turns it on against the local release service.
printf '[launcher]\nupdate_check = 0\n' > "$user/launcher.ini"
# The stand-in pipeline's build takes about a minute at speed 1.
export VEYRA_BUILD_SPEED=${VEYRA_BUILD_SPEED:-0.3}

fail() { echo "e2e $scenario: FAIL $*"; [ -f "$shots/selftest.log" ] && sed 's/^/  log: /' "$shots/selftest.log"
         [ -n "$bridge_log" ] && [ -f "$bridge_log" ] && sed 's/^/  bridge: /' "$bridge_log"; exit 1; }

if [ "$runner" = wine ]; then
  start_python_bridge "$work" || fail "no Python bridge"
fi

args=(--release "$(win "$top/release")" --shots "$(win "$shots")")
expect=()
case "$scenario" in
  full)
    args+=(--selftest "$(win "$discs/emberfall-usa.iso")" --wrong "$(win "$discs/another-game.iso")" --cancel
           --crash-seconds 2 --play-seconds 3)
    expect=("disc check: ok" "build started" "stop at compile" "build resumed" "build ended after .* s: ready"
            "game exited, code 0, crash report: none" "game exited, code [1-9][0-9]*, crash report: .*\\.txt"
            "selftest done")
    # Under Wine the resumed compile lasts long enough to look at Wine's
    # process list while the launcher still runs.
    [ "$runner" = wine ] && export VEYRA_STEP_SECONDS=compile=10 &&
      expect+=("user folder C:\\\\users\\\\.*\\\\Morvane$" "crash report: C:\\\\users\\\\.*\\\\Morvane\\\\crashes\\\\")
    ;;
  gamepad)
    # Moving the focus onto Stop takes a few frames: a compile step long
    # enough to be stopped in.
    export VEYRA_STEP_SECONDS=compile=12
    args+=(--selftest "$(win "$discs/emberfall-usa.iso")" --wrong "$(win "$discs/another-game.iso")" --cancel
           --crash-seconds 2 --play-seconds 3 --gamepad)
    expect=("pad: Select your disc image… pressed" "pad: another-game.iso pressed" "pad: emberfall-usa.iso pressed"
            "disc check: ok" "pad: Prepare the game pressed"
            "build started" "pad: Stop pressed" "stop at compile" "pad: Continue preparing pressed" "build resumed"
            "build ended after .* s: ready" "video windowed, [0-9]+x[0-9]+ saved" "pad: Play pressed"
            "game exited, code 0, crash report: none" "game exited, code [1-9][0-9]*, crash report: .*\\.txt"
            "selftest done")
    ;;
  error)
    args+=(--selftest "$(win "$discs/emberfall-usa.iso")" --error-demo --play-seconds 3)
    expect=("disc check: ok" "build ended after .* s: ready"
            "game exited, code" "selftest done")
    ;;
  screens)
    printf '[launcher]\nupdate_check = 1\n' > "$user/launcher.ini"
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
  killed)
    [ "$runner" = wine ] || { echo "e2e killed: Wine only"; exit 2; }
    # Straight to a compile step that outlasts the test.
    export VEYRA_STEP_SECONDS=extract=0,configure=0,tools=0,recompile=0,packs=0,compile=300
    args+=(--selftest "$(win "$discs/emberfall-usa.iso")")
    ;;
  *) echo "usage: e2e.sh full|error|screens|killed|gamepad BUILD_DIR [wine]"; exit 2 ;;
esac

# The newest script the bridge started: "N WINPID".
last_script() { sed -n 's/^[0-9.]* start \([0-9]*\) winpid \([0-9]*\) .*/\1 \2/p' "$bridge_log" | tail -1; }

# `wine` becomes the launcher's own process, so its id is the one to kill.
$runner "$launcher" "${args[@]}" &
launcher_pid=$!
# Bounds the run as `timeout` would, without standing between us and it.
( sleep 600 && kill -9 "$launcher_pid" ) 2>/dev/null &
watchdog=$!

if [ "$scenario" = killed ]; then
  for _ in $(seq 1200); do
    [ -f "$top/release/build/logs/compile.log" ] && break
    kill -0 "$launcher_pid" 2>/dev/null || break
    sleep 0.1
  done
  [ -f "$top/release/build/logs/compile.log" ] || fail "the build never reached the compile step"
  read -r number winpid <<< "$(last_script)"
  # Wine's debugger can miss a process that has just started, or fail to
  # list at all when the machine is busy: ask a few times.
  listed=""
  for _ in $(seq 20); do
    wine_pids | grep -q "^$winpid python.exe" && { listed=1; break; }
    sleep 0.25
  done
  [ -n "$listed" ] || fail "the build's python.exe $winpid is not in Wine's process list"
  kill -9 "$launcher_pid"
  wait "$launcher_pid" 2>/dev/null
  launcher_pid=""
  end_watchdog
  for _ in $(seq 60); do
    grep -q "^[0-9.]* dropped $number:" "$bridge_log" && ! wine_pids | grep -q "^$winpid " && break
    sleep 0.5
  done
  grep -q "^[0-9.]* dropped $number:" "$bridge_log" || fail "the build script outlived the killed launcher"
  why=$(bridge_check_contained) || fail "$why"
  echo "e2e $scenario: ok, python.exe $winpid and its script ended with the launcher"
  exit 0
fi

if [ "$scenario" = full ] && [ "$runner" = wine ]; then
  # The build stopped at compile: its python.exe must have left Wine's
  # process list and its script the host, while the launcher runs on.
  for _ in $(seq 3000); do
    grep -q "build resumed" "$shots/selftest.log" 2>/dev/null && break
    kill -0 "$launcher_pid" 2>/dev/null || break
    sleep 0.1
  done
  for _ in $(seq 50); do grep -q " dropped " "$bridge_log" && break; sleep 0.1; done
  grep -q " dropped " "$bridge_log" || fail "the stopped build's python.exe never went away"
  why=$(bridge_check_contained) || fail "$why"
  kill -0 "$launcher_pid" 2>/dev/null || fail "the launcher ended before its stopped build could be looked at"
fi

wait "$launcher_pid"
rc=$?
launcher_pid=""
end_watchdog
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
