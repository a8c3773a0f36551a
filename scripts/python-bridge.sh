# Sourced by the scripts that run Windows programs under Wine. TEST AND DEMO
# FIXTURE: the Windows demo release's kit\python\python.exe is a stand-in that
# hands each script to the host's python3 through demo/wine_python/
# python_bridge.py; a real Windows release ships a real interpreter.
#
#   start_python_bridge DIR   starts the bridge (port file and log in DIR) and
#                             exports VEYRA_PY_BRIDGE for Wine's programs
#   stop_python_bridge
#   wine_pids                 Wine's own list of its running processes, one
#                             decimal process id and .exe name a line
#   bridge_check_contained    every script whose stand-in was ended has left
#                             no process, in Wine's list or on the host

bridge_here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bridge_pid=""
bridge_log=""

start_python_bridge() {
  local dir=$1
  bridge_log="$dir/bridge.log"
  python3 "$bridge_here/demo/wine_python/python_bridge.py" --port-file "$dir/bridge-port" --log "$bridge_log" \
    --lifetime 3600 --watch-parent $$ &
  bridge_pid=$!
  for _ in $(seq 100); do [ -s "$dir/bridge-port" ] && break; sleep 0.1; done
  [ -s "$dir/bridge-port" ] || { echo "the Python bridge did not start"; return 1; }
  VEYRA_PY_BRIDGE=$(cat "$dir/bridge-port")
  export VEYRA_PY_BRIDGE
}

stop_python_bridge() {
  [ -n "$bridge_pid" ] && kill "$bridge_pid" 2>/dev/null && wait "$bridge_pid" 2>/dev/null
  bridge_pid=""
}

wine_pids() {
  # winedbg prints " pid threads 'name.exe'" with the id in hex; child
  # processes are indented with "\_".
  winedbg --command "info proc" 2>/dev/null | sed -n "s/^[ \\\\_]*\([0-9a-fA-F]\{8\}\) .*'\(.*\)'.*/\1 \2/p" |
    while read -r hex name; do echo "$((16#$hex)) $name"; done
}

# Stand-ins the bridge saw dropped (ended before their script): each one's
# Wine process must be gone, and its script's process group empty.
bridge_check_contained() {
  local listed ok=0 n winpid group
  listed=$(wine_pids)
  for n in $(sed -n 's/^[0-9.]* dropped \([0-9]*\):.*/\1/p' "$bridge_log"); do
    winpid=$(sed -n "s/^[0-9.]* start $n winpid \([0-9]*\) .*/\1/p" "$bridge_log")
    group=$(sed -n "s/^[0-9.]* start $n winpid [0-9]* pid [0-9]* group \([0-9]*\):.*/\1/p" "$bridge_log")
    if echo "$listed" | grep -q "^$winpid "; then
      echo "python.exe $winpid (script $n) is still in Wine's process list"; ok=1
    fi
    if ! grep -q "^[0-9.]* dropped $n: group $group killed, 0 left" "$bridge_log" ||
       [ -n "$(ps -o stat= -g "$group" 2>/dev/null | grep -v '^Z')" ]; then
      echo "script $n left processes of group $group"; ok=1
    fi
  done
  return $ok
}
