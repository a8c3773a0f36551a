#!/usr/bin/env bash
# Checks that the C and C++ lines a change touches are formatted as
# .clang-format says; older lines are left alone until someone edits them.
# The change is everything since FORMAT_BASE (default HEAD~1: on a clean
# clone HEAD is the commit under test, and for a merge HEAD~1 is the line it
# was merged into), plus whatever is not committed yet.
# Usage: check-format.sh [--fix]   (--fix rewrites those lines in place)
set -uo pipefail
cd "$(dirname "$0")/.."
base=${FORMAT_BASE:-HEAD~1}
paths=(src tests bench fuzz demo scripts)

if ! git rev-parse -q --verify "$base^{commit}" >/dev/null; then
  # A shallow clone of depth 1, or the first commit: nothing to compare with.
  echo "check-format: no commit $base to compare with; set FORMAT_BASE or fetch more history" >&2
  exit 1
fi
if [ "${1:-}" = "--fix" ]; then
  git clang-format --quiet --force "$base" -- "${paths[@]}"
  exit 0
fi
# This git-clang-format exits 0 whatever it finds: the diff itself is the verdict.
if ! out=$(git clang-format --diff "$base" -- "${paths[@]}" 2>&1); then
  echo "$out"
  exit 1
fi
if grep -q '^diff --git' <<<"$out"; then
  echo "$out"
  echo "check-format: the lines above are not formatted; run scripts/check-format.sh --fix" >&2
  exit 1
fi
