# Sourced by demo.sh and demo-windows.sh: the fresh copy of a built demo
# release each run starts from, and the summary each run ends with.

# demo_fresh_copy BUILD RUN: RUN/release and RUN/discs copied from BUILD, an
# empty RUN/user and RUN/captures.
demo_fresh_copy() {
  local build=$1 run=$2
  rm -rf "$run"
  mkdir -p "$run/user" "$run/captures"
  cp -a "$build/demo-release" "$run/release"
  cp -a "$build/demo-discs" "$run/discs"
  # The demo release is not published anywhere: keep the start-up update check off.
  printf '[launcher]\nupdate_check = 0\n' > "$run/user/launcher.ini"
}

# demo_summary RC SHOTS CAPTURES: where the self-test's log and pictures went.
demo_summary() {
  local rc=$1 shots=$2 captures=$3
  echo
  echo "Self-test exit code: $rc (0 = every step passed)"
  echo "Log: $shots/selftest.log"
  echo "Screenshots:"
  ls -1 "$shots"/*.png 2>/dev/null | sed 's/^/  /'
  find "$captures" -name '*.png' 2>/dev/null | sed 's/^/  /'
}
