#!/usr/bin/env bash
# CPU time per frame of the welcome page with motion on, over 600 frames under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/../.."
source "${VEYRA_DEPS:-$HOME/.cache/veyra-deps}/env.sh"
cmake --preset linux >/dev/null
cmake --build --preset linux --target bench_ui_frame_time -j2
xvfb-run -a -s "-screen 0 1920x1080x24" build/linux/bin/bench_ui_frame_time "${1:-600}"
