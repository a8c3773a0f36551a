#!/usr/bin/env bash
# `make release`: builds the Windows and Linux launchers with the project's
# public key compiled in, lays out each release folder and packs and signs it
# into dist/ (archive, .sha256, .sig) with scripts/make_release.py. The
# version is project(VERSION) in CMakeLists.txt: the build writes it into the
# launcher and the release folder's source/release.ini, which the packer reads.
#   release.sh [SECRET_KEY_FILE]     (or VEYRA_RELEASE_KEY in the environment)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
key=${1:-${VEYRA_RELEASE_KEY:-}}
[ -n "$key" ] && [ -f "$key" ] || { echo "release: give the secret key file: make release KEY=path (or VEYRA_RELEASE_KEY)" >&2; exit 2; }
key=$(cd "$(dirname "$key")" && pwd)/$(basename "$key")
out="$here/dist"
mkdir -p "$out"

for target in linux windows; do
  dir="$here/build/release-$target"
  # The first configure builds the key tool; the public half of the given key
  # then becomes the compiled-in key.
  cmake --preset "$target" -B "$dir" -DVEYRA_TESTS=OFF -DVEYRA_RELEASE_PUBLIC_KEY=none >/dev/null
  public=$("$dir/release-key/release_key" public "$key")
  cmake --preset "$target" -B "$dir" -DVEYRA_TESTS=OFF -DVEYRA_RELEASE_PUBLIC_KEY="$public" >/dev/null
  cmake --build "$dir"
  case "$target" in
    linux) suffix=-tambler-linux.zip ;;
    windows) suffix=-tambler.zip ;;
  esac
  python3 "$here/scripts/make_release.py" "$dir/demo-release" "$out" --suffix="$suffix" \
    --tool "$dir/release-key/release_key" --key "$key"
done
