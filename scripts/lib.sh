# Shared by scripts/run, scripts/test and scripts/bench: the Debian packages the
# project needs (the one list of them) and the build.
# shellcheck shell=bash

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${CREWMAP_BUILD_DIR:-$ROOT/build}"

# Building and running Crewmap and its tests on Linux.
PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev libx11-dev libx11-xcb-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-utils xdotool imagemagick fonts-noto-cjk
)

# Cross-building for Windows with mingw-w64 and running the result under Wine
# (scripts/test-windows): the posix-threads compiler, 64-bit Wine with its
# wrapper scripts, GoogleTest's sources, and an X server for Wine's windows.
WINDOWS_PACKAGES=(
  g++-mingw-w64-x86-64-posix wine wine64
  cmake ninja-build libgtest-dev libgmock-dev xvfb xauth
)

# Fuzzing (scripts/fuzz): clang 14 with libFuzzer and the sanitizer runtimes.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)

# Installs whatever of the given packages is missing (apt-get update once).
ensure_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  echo "Installing: ${missing[*]}"
  if [ -z "${CREWMAP_APT_UPDATED:-}" ]; then
    "${sudo[@]}" apt-get update -q
    export CREWMAP_APT_UPDATED=1
  fi
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

build_crewmap() {
  cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
  cmake --build "$BUILD_DIR"
}
