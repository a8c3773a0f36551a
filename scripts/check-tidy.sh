#!/usr/bin/env bash
# Runs clang-tidy with the checks in .clang-tidy over the project's own
# sources as the Linux build compiles them (its compile_commands.json), both
# cores at once. Any finding fails the run: .clang-tidy makes every check an
# error. The Windows backends (*_win32.cpp) are not in that build; the mingw
# build's warnings hold them.
# src/, bench/ and demo/ are checked whole. The tests, the larger half of the
# cost (gtest makes each one slow to parse), are checked where they changed
# since TIDY_BASE (default as the format check: FORMAT_BASE or HEAD~1), and
# whole when a shared test header or .clang-tidy changed or there is no base.
# Usage: check-tidy.sh [BUILD_DIR] [--all]   (default build/linux, configured first)
set -uo pipefail
cd "$(dirname "$0")/.."
build=build/linux all=
for a in "$@"; do
  if [ "$a" = "--all" ]; then all=1; else build=$a; fi
done
if [ ! -f "$build/compile_commands.json" ]; then
  echo "check-tidy: no $build/compile_commands.json; configure the build first" >&2
  exit 1
fi
base=${TIDY_BASE:-${FORMAT_BASE:-HEAD~1}}
# Generated sources and the dependencies (ImGui, SDL, gtest) are left out.
patterns=("^$PWD/(src|bench|demo)/")
if [ -n "$all" ] || ! git rev-parse -q --verify "$base^{commit}" >/dev/null; then
  patterns+=("^$PWD/tests/")
else
  changed=$(git diff --name-only "$base" -- tests .clang-tidy)
  if grep -qE '\.h$|^\.clang-tidy$' <<<"$changed"; then
    patterns+=("^$PWD/tests/")
  else
    while read -r f; do
      [[ $f =~ \.(c|cpp)$ ]] && patterns+=("^$PWD/${f//./\\.}\$")
    done <<<"$changed"
  fi
fi
run-clang-tidy -quiet -p "$build" -j "$(nproc)" "${patterns[@]}" > "$build/clang-tidy.log" 2>&1
rc=$?
if [ $rc -ne 0 ]; then
  # The log is coloured: strip the colours before looking for the findings.
  sed 's/\x1b\[[0-9;]*m//g' "$build/clang-tidy.log" | grep -E 'error:|warning:' -A3
  echo "check-tidy: findings above (whole log: $build/clang-tidy.log)" >&2
  exit 1
fi
