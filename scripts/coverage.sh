#!/usr/bin/env bash
# Line coverage of src/ by the Linux tests: builds the coverage preset (gcc,
# no optimisation, --coverage), runs every Linux test under Xvfb, then prints
# the lines covered per src/ folder and in all, and writes a per-file HTML
# report to build/coverage/report/index.html.
set -uo pipefail
cd "$(dirname "$0")/.."
source "${VEYRA_DEPS:-$HOME/.cache/veyra-deps}/env.sh"
build=build/coverage
cmake --preset coverage >/dev/null && cmake --build --preset coverage || exit 1
find "$build" -name '*.gcda' -delete
# A failing test still counts its lines; the figure is about reach, and the
# ordinary test run is the one that judges.
xvfb-run -a -s "-screen 0 1920x1080x24" ctest --test-dir "$build" -j2 --timeout 600 >"$build/ctest.log" 2>&1 ||
  echo "coverage: some tests failed (see $build/ctest.log)"
mkdir -p "$build/report"
gcovr --root . --filter 'src/' --object-directory "$build" --gcov-ignore-parse-errors \
      --json-summary "$build/summary.json" --html-details "$build/report/index.html" >/dev/null || exit 1
python3 - "$build/summary.json" <<'PY'
import json, sys
files = json.load(open(sys.argv[1]))["files"]
folders = {}
for f in files:
    name = f["filename"].split("/")[1]
    total, covered = folders.get(name, (0, 0))
    folders[name] = (total + f["line_total"], covered + f["line_covered"])
print(f"{'folder':<12}{'lines':>8}{'covered':>9}{'':>3}")
for name in sorted(folders):
    total, covered = folders[name]
    print(f"src/{name:<8}{total:>8}{covered:>9}{100 * covered / max(total, 1):>6.1f} %")
total = sum(t for t, _ in folders.values()); covered = sum(c for _, c in folders.values())
print(f"{'all':<12}{total:>8}{covered:>9}{100 * covered / max(total, 1):>6.1f} %")
PY
