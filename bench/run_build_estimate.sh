#!/usr/bin/env bash
# One fresh demo-speed build (about a minute) through the launcher's build
# runner, recording the time-left estimate each second against the time that
# really remained. Prints a summary; the per-second CSV lands in build/linux.
# Usage: bench/run_build_estimate.sh [disc image]
set -euo pipefail
cd "$(dirname "$0")/.."
source "${VEYRA_DEPS:-$HOME/.cache/veyra-deps}/env.sh"
cmake --build --preset linux -j2 --target bench_build_estimate veyra_game >/dev/null
release=$(mktemp -d /tmp/veyra-bench-release.XXXXXX)
trap 'rm -rf "$release"' EXIT
cmake -DSRC="$PWD" -DOUT="$release" -DDISCS=build/linux/demo-discs -DLAUNCHER= \
      -DGAME=build/linux/bin/veyra_game -DPYTHON=/usr/bin/python3 -DWINDOWS= -P cmake/demo_layout.cmake
disc=${1:-$PWD/build/linux/demo-discs/emberfall-usa.iso}
build/linux/bin/bench_build_estimate "$release" "$disc" build/linux/build_estimate.csv
