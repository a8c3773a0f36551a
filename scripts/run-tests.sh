#!/usr/bin/env bash
# Checks the format of the lines changed and runs clang-tidy over the Linux
# build; then runs the Linux tests and the Windows tests (under Wine), each
# under its own Xvfb so window tests have a display; then the Linux tests again
# under AddressSanitizer + UndefinedBehaviorSanitizer, the threaded ones under
# ThreadSanitizer, and each fuzz target for a bounded time.
# Usage: run-tests.sh [format|tidy|linux|windows|asan|tsan|fuzz]...
set -uo pipefail
cd "$(dirname "$0")/.."
source "${VEYRA_DEPS:-$HOME/.cache/veyra-deps}/env.sh"
which=("$@")
[ ${#which[@]} -gt 0 ] || which=(format tidy linux windows asan tsan fuzz)
status=0

run_format() {
  bash scripts/check-format.sh
}

run_tidy() {
  bash scripts/check-tidy.sh build/linux
}

run_linux() {
  xvfb-run -a -s "-screen 0 1920x1080x24" ctest --test-dir build/linux --output-on-failure -j2 --timeout 180
}

# Sanitizer reports go to files as well as failing their program: a stand-in
# child's report fails the run even where its test only looks at an exit code.
sanitizer_env() {
  local reports=$1 build=$2
  rm -rf "$reports"; mkdir -p "$reports"
  export LD_PRELOAD="$PWD/$build/bin/keep_libraries.so"
  export ASAN_OPTIONS="log_path=$reports/report:detect_leaks=1:verify_asan_link_order=0:strict_string_checks=1:detect_stack_use_after_return=1"
  export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="log_path=$reports/report:print_stacktrace=1:halt_on_error=1"
  export TSAN_OPTIONS="log_path=$reports/report:halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/sanitizers/tsan.supp"
}
sanitizer_reports() {
  local reports=$1
  if [ -n "$(ls -A "$reports" 2>/dev/null)" ]; then
    echo "sanitizer reports in $reports:"
    cat "$reports"/*
    return 1
  fi
}

# run_sanitized BUILD CTEST-SELECTION...: the build's tests with its reports
# collected; the environment stays inside the subshell.
run_sanitized() {
  local build=$1; shift
  ( sanitizer_env "$PWD/$build/sanitizer-reports" "$build"
    xvfb-run -a -s "-screen 0 1920x1080x24" ctest --test-dir "$build" --output-on-failure -j2 --timeout 300 "$@"
    rc=$?
    sanitizer_reports "$PWD/$build/sanitizer-reports" || rc=1
    exit $rc )
}

# Every Linux test under ASan and UBSan but one: the killed-saves test's kill
# window is sized to an uninstrumented saver, which the sanitizer runtime's
# start-up alone outlasts, so no kill would land in a save. The fuzz targets'
# corpora replay here too, as regression tests.
run_asan() {
  run_sanitized build/linux-asan -E '^IniDurability\.KilledSavesLeaveOldOrNew$'
}

# The tests whose code runs threads: the child-process readers (and the build,
# game and disc-check runs over them), the release check, HTTP downloads, the
# update flow and a check outliving the App.
tsan_tests='^(Process|ProcessPosix|[A-Za-z]*/?Containment|UpdateCheck|Http|[A-Za-z]*/?HttpTable|UpdateStart|UpdateFlow|BuildRunTest|BuildRunnerTest|GameRun|DiscCheckRunTest)[./]'
run_tsan() {
  run_sanitized build/linux-tsan -R "$tsan_tests"
}

run_fuzz() {
  bash scripts/fuzz.sh "${VEYRA_FUZZ_SECONDS:-10}"
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
