#!/usr/bin/env bash
# Runs every fuzz target of build/linux-asan for SECONDS each (two at a time),
# on top of its seed corpus in fuzz/corpus and of what earlier runs on this
# machine found (build/linux-asan/fuzz-corpus). A crash or a broken property
# fails the run and leaves the input in build/linux-asan/fuzz-findings: fix
# the fault, then add the input to fuzz/corpus/<target>/ as its regression test.
#   fuzz.sh [SECONDS]
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-15}
build=build/linux-asan
[ -d "$build/bin" ] || { echo "fuzz: no $build; build the linux-asan preset first"; exit 1; }
findings=$PWD/$build/fuzz-findings
rm -rf "$findings"; mkdir -p "$findings"
export ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

fuzz_one() {
  local exe=$1 seconds=$2 findings=$3 build=$4
  local name=${exe##*/fuzz_}
  local found=$PWD/$build/fuzz-corpus/$name
  mkdir -p "$found" "$findings/$name"
  if "$exe" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
       -artifact_prefix="$findings/$name/" "$found" "fuzz/corpus/$name" > "$findings/$name.log" 2>&1; then
    echo "fuzz $name: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$findings/$name.log" | grep -o '[0-9]*$') runs, no finding"
    rm -rf "$findings/$name" "$findings/$name.log"
  else
    echo "fuzz $name: FINDING (input in $findings/$name/)"
    tail -n 40 "$findings/$name.log"
    return 1
  fi
}
export -f fuzz_one
ls "$build"/bin/fuzz_* | xargs -P 2 -I{} bash -c 'fuzz_one "$@"' _ {} "$seconds" "$findings" "$build"
