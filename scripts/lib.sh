# Shared by scripts/run, scripts/test and scripts/bench: the Debian packages the
# project needs (the one list of them) and the build.
# shellcheck shell=bash

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${CREWMAP_BUILD_DIR:-$ROOT/build}"

# Building and running Crewmap and its tests on Linux.
PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev libx11-dev libx11-xcb-dev libminiupnpc-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-utils xdotool imagemagick fonts-noto-cjk
  # Qt's own texts (buttons, context menus) in Japanese: qtbase_ja.qm
  qt6-translations-l10n
  # the Debian package (scripts/package-deb): icon, dependencies, checks
  dpkg-dev file librsvg2-bin lintian desktop-file-utils
  # the home-router lab (tests/lab): namespaces, the router's firewall, the
  # router daemon (the package leaves it stopped; the lab runs it only inside
  # its own namespaces), miniupnpc's client, the echo page, the clipboard
  iproute2 nftables miniupnpd-nftables miniupnpc python3 curl xclip
)

# Cross-building for Windows with mingw-w64 and running the result under Wine
# (scripts/test-windows): the posix-threads compiler, 64-bit Wine with its
# wrapper scripts, GoogleTest's sources, and an X server for Wine's windows.
WINDOWS_PACKAGES=(
  g++-mingw-w64-x86-64-posix wine wine64
  cmake ninja-build libgtest-dev libgmock-dev xvfb xauth
)
# The Windows zip (scripts/package-windows) and its trial under Wine as a
# Japanese system (the ja_JP.UTF-8 locale comes from the locales package);
# the program's icon is drawn with rsvg-convert and packed with icotool, Qt's
# Japanese texts come from qt6-translations-l10n.
WINDOWS_PACKAGE_PACKAGES=(zip unzip locales xdotool librsvg2-bin icoutils qt6-translations-l10n)

# Fuzzing (scripts/fuzz): clang 14 with libFuzzer and the sanitizer runtimes.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)

# Cross-building Qt itself for Windows (scripts/build-qt-windows) from
# Debian's qt6-base source package, with Debian's Qt as the host tools.
QT_WINDOWS_PACKAGES=(
  dpkg-dev xz-utils g++-mingw-w64-x86-64-posix cmake ninja-build
  qt6-base-dev qt6-base-dev-tools
)

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

# Starts a private Xvfb on a free display number (Xvfb picks it: -displayfd),
# exports DISPLAY for it and sets XVFB_PID; the caller stops it with
# stop_private_xvfb (e.g. from an EXIT trap). -noreset: otherwise the server
# resets whenever its last client leaves, and a client that connects during
# the reset (one program starting as another closes) is turned away.
# The screen is WxH as the first argument asks (default 1920x1080).
XVFB_PID=""
start_private_xvfb() {
  local file
  file="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 "${1:-1920x1080}x24" -nolisten tcp -noreset 3>"$file" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do
    [ -s "$file" ] && break
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -s "$file" ]; then
    rm -f "$file"
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$(head -n1 "$file")"
  unset WAYLAND_DISPLAY
  rm -f "$file"
}

stop_private_xvfb() {
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
  fi
}

# Makes the ja_JP.UTF-8 locale if it is missing: Wine plays a Japanese system
# (code page 932) only when the locale in LANG exists.
ensure_japanese_locale() {
  locale -a 2>/dev/null | grep -qix 'ja_JP.utf8' && return 0
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  echo "Generating the ja_JP.UTF-8 locale"
  "${sudo[@]}" localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
}

# Unpacks Debian's own source package PACKAGE (version VERSION when apt
# offers it, else the newest) under WORK/src, once, and prints its folder.
# apt runs with a private configuration holding deb-src twins of the
# system's own entries; the system's sources and lists stay untouched.
fetch_debian_source() {
  local package="$1" version="$2" work="$3" src
  src="$(find "$work/src" -maxdepth 1 -type d -name "$package-$version*" 2>/dev/null | head -n1)"
  if [ -z "$src" ]; then
    mkdir -p "$work/apt/sources.list.d" "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/src"
    : >"$work/apt/sources.list"
    rm -f "$work/apt/sources.list.d/"*
    local f
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] && sed -E 's/^Types:.*/Types: deb-src/' "$f" >"$work/apt/sources.list.d/$(basename "$f")"
    done
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
      [ -f "$f" ] && sed -nE 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >>"$work/apt/sources.list"
    done
    local options=(
      -o "Dir::Etc::SourceList=$work/apt/sources.list"
      -o "Dir::Etc::SourceParts=$work/apt/sources.list.d"
      -o "Dir::State::Lists=$work/apt/lists"
      -o "Dir::Cache=$work/apt/cache"
    )
    [ "$(id -u)" -eq 0 ] && options+=(-o APT::Sandbox::User=root)
    echo "Fetching the $package source package" >&2
    apt-get "${options[@]}" update -q >&2
    (cd "$work/src" && { apt-get "${options[@]}" source -q "$package=$version*" \
      || apt-get "${options[@]}" source -q "$package"; } >&2)
    src="$(find "$work/src" -maxdepth 1 -type d -name "$package-$version*" | head -n1)"
  fi
  [ -n "$src" ] || { echo "No $package $version source found" >&2; return 1; }
  echo "$src"
}

build_crewmap() {
  cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
  cmake --build "$BUILD_DIR"
}
