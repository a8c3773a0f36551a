#!/usr/bin/env bash
# Installs and builds everything the launcher needs on a Debian 12 machine.
# Idempotent: packages are installed once, and the built dependencies are cached
# outside the checkout in $VEYRA_DEPS, keyed by version, so later runs skip them.
# Prints the cache folder's path as its last line.
set -euo pipefail

SDL_VERSION_WANT="3.2"       # any 3.2.x from the trixie source package
IMGUI_VERSION_WANT="1.92"    # any 1.92.x from the forky source package
EXO2_VERSION="5.3.0"         # npm package @fontsource-variable/exo-2
SODIUM_VERSION_WANT="1.0.18" # libsodium from Debian's source package (Windows build)
RECIPE=3                     # bump when a build recipe below changes
SODIUM_RECIPE=1              # bump when the libsodium recipe below changes

DEPS="${VEYRA_DEPS:-$HOME/.cache/veyra-deps}"
mkdir -p "$DEPS"
log() { echo "setup: $*" >&2; }
jobs_n=$(nproc)

# ---------------------------------------------------------------- packages
PKGS=(build-essential cmake ninja-build pkg-config dpkg-dev xxd git
      g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
      googletest libgtest-dev
      libx11-dev libxext-dev libxrandr-dev libxcursor-dev libxi-dev libxfixes-dev
      libxkbcommon-dev libxss-dev libxtst-dev libgl-dev libegl-dev libdbus-1-dev
      libcurl4-openssl-dev libfontconfig-dev libsodium-dev autoconf automake libtool
      xvfb xauth wine wine64 pngcheck xorriso woff2 fonts-dejavu-core fonts-wqy-microhei
      python3 imagemagick desktop-file-utils
      clang libclang-rt-14-dev zlib1g-dev gcovr
      clang-format clang-tidy)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  log "installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi

# ---------------------------------------------------------------- sources
# SDL3 and Dear ImGui 1.92 come from newer Debian suites as source packages. apt
# gets a private state folder so the machine's own apt configuration is untouched;
# the archive address and its key are copied from that configuration.
SRC="$DEPS/src"
fetch_sources() {
  local apt="$DEPS/apt"
  mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial" "$SRC"
  local conf=/etc/apt/sources.list.d/debian.sources
  local uri key
  uri=$(awk '/^URIs:/{print $2; exit}' "$conf")
  key=$(awk '/^Signed-By:/{print $2; exit}' "$conf")
  [ -n "$uri" ] || { log "no archive address in $conf"; exit 1; }
  cat > "$apt/sources.list.d/src.sources" <<SRCS
Types: deb-src
URIs: $uri
Suites: bookworm trixie forky
Components: main
Signed-By: $key
SRCS
  local opts=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$apt/sources.list.d"
              -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o APT::Sandbox::User=root)
  apt-get "${opts[@]}" update -qq >&2
  (cd "$SRC" && apt-get "${opts[@]}" source -qq "$@" >&2)
}
sdl_src=$(ls -d "$SRC"/libsdl3-"$SDL_VERSION_WANT".*/ 2>/dev/null | head -n1 || true)
imgui_src=$(ls -d "$SRC"/imgui-"$IMGUI_VERSION_WANT"*/ 2>/dev/null | head -n1 || true)
if [ -z "$sdl_src" ] || [ -z "$imgui_src" ]; then
  log "fetching the SDL3 and Dear ImGui source packages"
  rm -rf "$SRC"; fetch_sources libsdl3/trixie imgui/forky
  sdl_src=$(ls -d "$SRC"/libsdl3-*/ | head -n1)
  imgui_src=$(ls -d "$SRC"/imgui-*/ | head -n1)
fi
sdl_src=${sdl_src%/}; imgui_src=${imgui_src%/}
sdl_ver=${sdl_src##*/libsdl3-}; sdl_ver=${sdl_ver%%+*}
imgui_ver=$(sed -n 's/^#define IMGUI_VERSION *"\(.*\)"/\1/p' "$imgui_src/imgui.h")
case "$sdl_ver" in "$SDL_VERSION_WANT".*) ;; *) log "unexpected SDL3 version $sdl_ver"; exit 1;; esac
case "$imgui_ver" in "$IMGUI_VERSION_WANT"*) ;; *) log "unexpected Dear ImGui version $imgui_ver"; exit 1;; esac
log "SDL3 $sdl_ver, Dear ImGui $imgui_ver"

# ---------------------------------------------------------------- SDL3
SDL_COMMON=(-G Ninja -DCMAKE_BUILD_TYPE=Release -DSDL_TESTS=OFF -DSDL_EXAMPLES=OFF -DSDL_INSTALL_TESTS=OFF
            -DSDL_AUDIO=OFF -DSDL_CAMERA=OFF -DSDL_GPU=OFF -DSDL_RENDER=OFF)
SDL_LINUX="$DEPS/sdl3-$sdl_ver-linux-r$RECIPE"
if [ ! -f "$SDL_LINUX/.done" ]; then
  log "building SDL3 for Linux (a few minutes)"
  rm -rf "$SDL_LINUX" "$DEPS/build-sdl-linux"
  cmake -S "$sdl_src" -B "$DEPS/build-sdl-linux" "${SDL_COMMON[@]}" -DSDL_SHARED=ON -DSDL_STATIC=OFF \
        -DSDL_X11=ON -DSDL_WAYLAND=OFF -DSDL_KMSDRM=OFF -DSDL_OPENGL=ON -DSDL_DBUS=ON \
        -DCMAKE_INSTALL_PREFIX="$SDL_LINUX" >&2
  cmake --build "$DEPS/build-sdl-linux" -j"$jobs_n" >&2
  cmake --install "$DEPS/build-sdl-linux" >&2
  rm -rf "$DEPS/build-sdl-linux"; touch "$SDL_LINUX/.done"
fi

TOOLCHAIN="$(cd "$(dirname "$0")/.." && pwd)/cmake/mingw-w64.cmake"
SDL_WIN="$DEPS/sdl3-$sdl_ver-mingw-r$RECIPE"
if [ ! -f "$SDL_WIN/.done" ]; then
  log "building SDL3 for Windows (a few minutes)"
  rm -rf "$SDL_WIN" "$DEPS/build-sdl-win"
  # The +ds source drops the prebuilt Direct3D shaders, so GPU and render stay off;
  # joystick and HIDAPI stay on because the static link needs them.
  cmake -S "$sdl_src" -B "$DEPS/build-sdl-win" "${SDL_COMMON[@]}" -DSDL_SHARED=OFF -DSDL_STATIC=ON \
        -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_INSTALL_PREFIX="$SDL_WIN" >&2
  cmake --build "$DEPS/build-sdl-win" -j"$jobs_n" >&2
  cmake --install "$DEPS/build-sdl-win" >&2
  rm -rf "$DEPS/build-sdl-win"; touch "$SDL_WIN/.done"
fi

# ---------------------------------------------------------------- GoogleTest for Windows
GTEST_WIN="$DEPS/gtest-mingw-r$RECIPE"
if [ ! -f "$GTEST_WIN/.done" ]; then
  log "building GoogleTest for Windows"
  rm -rf "$GTEST_WIN" "$DEPS/build-gtest-win"
  cmake -S /usr/src/googletest -B "$DEPS/build-gtest-win" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_INSTALL_PREFIX="$GTEST_WIN" -Dgtest_disable_pthreads=OFF >&2
  cmake --build "$DEPS/build-gtest-win" -j"$jobs_n" >&2
  cmake --install "$DEPS/build-gtest-win" >&2
  rm -rf "$DEPS/build-gtest-win"; touch "$GTEST_WIN/.done"
fi

# ---------------------------------------------------------------- libsodium for Windows
# Linux links Debian's libsodium-dev; Windows gets the same release built static
# from Debian's own source package, fetched with the private apt state above.
sodium_src=$(ls -d "$SRC"/libsodium-"$SODIUM_VERSION_WANT"*/ 2>/dev/null | head -n1 || true)
SODIUM_WIN="$DEPS/libsodium-$SODIUM_VERSION_WANT-mingw-r$SODIUM_RECIPE"
if [ ! -f "$SODIUM_WIN/.done" ]; then
  if [ -z "$sodium_src" ]; then
    log "fetching the libsodium source package"
    fetch_sources libsodium/bookworm
    sodium_src=$(ls -d "$SRC"/libsodium-"$SODIUM_VERSION_WANT"*/ | head -n1)
  fi
  sodium_src=${sodium_src%/}
  log "building libsodium for Windows (a few minutes)"
  rm -rf "$SODIUM_WIN" "$DEPS/build-sodium-win"
  cp -a "$sodium_src" "$DEPS/build-sodium-win"
  # The source package carries no generated configure script.
  (cd "$DEPS/build-sodium-win" && autoreconf -fi >&2 &&
   ./configure --host=x86_64-w64-mingw32 --prefix="$SODIUM_WIN" --disable-shared --enable-static \
               --disable-pie --disable-ssp >&2 &&
   make -j"$jobs_n" >&2 && make install >&2)
  rm -rf "$DEPS/build-sodium-win"; touch "$SODIUM_WIN/.done"
fi

# ---------------------------------------------------------------- Exo 2
# The Latin subset is Exo2.woff2; the others lie beside it as Exo2-<subset>.woff2.
# Caches made before the other subsets were used lack the .subsets mark and are
# completed in place, so Exo2.woff2 keeps its path throughout.
FONT="$DEPS/exo2-$EXO2_VERSION"
EXO2_SUBSETS=(latin-ext cyrillic cyrillic-ext vietnamese)
if [ ! -f "$FONT/.done" ] || [ ! -f "$FONT/.subsets" ]; then
  log "fetching the Exo 2 typeface"
  unpack="$FONT/unpack"
  rm -rf "$unpack"; mkdir -p "$unpack/pkg"
  tgz=$(cd "$unpack" && npm pack --silent "@fontsource-variable/exo-2@$EXO2_VERSION" 2>/dev/null | tail -n1)
  tar -xzf "$unpack/$tgz" -C "$unpack/pkg"
  files="$unpack/pkg/package/files"
  cp "$files/exo-2-latin-wght-normal.woff2" "$FONT/Exo2.woff2"
  for subset in "${EXO2_SUBSETS[@]}"; do
    cp "$files/exo-2-$subset-wght-normal.woff2" "$FONT/Exo2-$subset.woff2"
  done
  cp "$unpack/pkg/package/LICENSE" "$FONT/OFL.txt"
  rm -rf "$unpack"
  touch "$FONT/.done" "$FONT/.subsets"
fi

# ---------------------------------------------------------------- Wine prefix
WINEPREFIX_DIR="$DEPS/wineprefix"
if [ ! -f "$WINEPREFIX_DIR/.done" ]; then
  log "creating the Wine prefix"
  rm -rf "$WINEPREFIX_DIR"
  (
    export WINEPREFIX="$WINEPREFIX_DIR" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    export DISPLAY=
    wineboot -i >/dev/null 2>&1 || true
    # A crash must not open winedbg's dialog and hang a test run.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    # Managed windows make SDL_DestroyWindow wait two seconds.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    wineserver -w || true
  )
  touch "$WINEPREFIX_DIR/.done"
fi

cat > "$DEPS/env.sh" <<ENV
# Written by scripts/setup.sh: where the built dependencies are.
export VEYRA_DEPS="$DEPS"
export VEYRA_SDL3_LINUX="$SDL_LINUX"
export VEYRA_SDL3_MINGW="$SDL_WIN"
export VEYRA_GTEST_MINGW="$GTEST_WIN"
export VEYRA_SODIUM_MINGW="$SODIUM_WIN"
export VEYRA_IMGUI_DIR="$imgui_src"
export VEYRA_EXO2_WOFF2="$FONT/Exo2.woff2"
export VEYRA_EXO2_OFL="$FONT/OFL.txt"
export WINEPREFIX="$WINEPREFIX_DIR"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
ENV
log "ready"
echo "$DEPS"
