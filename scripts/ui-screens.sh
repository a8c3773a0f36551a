#!/usr/bin/env bash
# Saves a picture of every launcher screen (welcome, the disc picker, missing files, quit,
# What's new, background motion on and off, Play, preparing, Settings,
# Maintenance, in English and French) under Xvfb.
# Usage: ui-screens.sh [output folder] [ui scale] [width height]
#        (default build/linux/ui-screens, 1, 1120 760)
set -euo pipefail
cd "$(dirname "$0")/.."
source "${VEYRA_DEPS:-$HOME/.cache/veyra-deps}/env.sh"
out="${1:-build/linux/ui-screens}"
scale="${2:-1}"
cmake --preset linux >/dev/null
cmake --build --preset linux --target ui_screens -j2
mkdir -p "$out"
xvfb-run -a -s "-screen 0 2600x1800x24" build/linux/bin/ui_screens "$out" "$scale" ${3:-} ${4:-}
echo "pictures in $out"
