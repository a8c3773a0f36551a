#!/usr/bin/env bash
# Loopback download benchmark (results in bench/http_download.md): 50 MB and 500 MB through httpDownload against
# the stand-in release service; peak memory must be the same for both.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/linux/bin/http_download_bench
dir=$(mktemp -d)
python3 tests/standins/release_server.py --lifetime 600 --port-file "$dir/ports" >/dev/null &
server=$!
trap 'kill $server 2>/dev/null; rm -rf "$dir"' EXIT
for _ in $(seq 100); do [ -s "$dir/ports" ] && break; sleep 0.1; done
read -r _ port _ < "$dir/ports"
for size in 50000000 500000000; do
  "$bin" "http://127.0.0.1:$port" "$size" "$dir/download.bin"
done
