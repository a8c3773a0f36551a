#!/usr/bin/env bash
# Runs clang-tidy with the checks in .clang-tidy over the project's own
# sources as the Linux build compiles them (its compile_commands.json), both
# cores at once. Any finding fails the run: .clang-tidy makes every check an
# error. The Windows backends (*_win32.cpp) are not in that build; the mingw
# build's warnings hold them.
# Usage: check-tidy.sh [BUILD_DIR]   (default build/linux, configured first)
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/linux}
if [ ! -f "$build/compile_commands.json" ]; then
  echo "check-tidy: no $build/compile_commands.json; configure the build first" >&2
  exit 1
fi
# Generated sources and the dependencies (ImGui, SDL, gtest) are left out.
run-clang-tidy -quiet -p "$build" -j "$(nproc)" "^$PWD/(src|tests|bench|demo)/" > "$build/clang-tidy.log" 2>&1
rc=$?
if [ $rc -ne 0 ]; then
  grep -E 'error:|warning:' -A3 "$build/clang-tidy.log" | sed 's/\x1b\[[0-9;]*m//g'
  echo "check-tidy: findings above (whole log: $build/clang-tidy.log)" >&2
  exit 1
fi
