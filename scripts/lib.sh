# Helpers shared by the project's scripts. Source it; do not run it.

# Installs the Debian packages that are not installed yet (as root, or
# through sudo), running `apt-get update` only when something is missing.
ensure_packages() {
  local missing=() pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done
  [ "${#missing[@]}" -eq 0 ] && return 0
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "need root (or sudo) to install: ${missing[*]}" >&2; return 1; }
    sudo=(sudo)
  fi
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# What every build of the project needs.
BUILD_PACKAGES=(cmake ninja-build g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev
                libgtk-3-dev libwebkit2gtk-4.1-dev libx11-dev)
# What the GUI tests drive the program with: a virtual display, input and
# clipboard tools, window geometry and screenshots.
GUI_TEST_PACKAGES=(xvfb xauth xdotool xclip x11-utils imagemagick)
# What the packages are made and checked with.
PACKAGE_PACKAGES=(dpkg-dev file lintian desktop-file-utils appstream zip unzip)
# The offline translator the tests of `quillmark-cli translate` use.
TRANSLATOR_PACKAGES=(apertium apertium-eng-spa)
# What bench/run times and measures with.
BENCH_PACKAGES=(time)
# What the fuzz targets build with: clang and its libFuzzer and sanitizer
# runtimes.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)

# What the Windows build (mingw-w64, GoogleTest from source) and its tests
# under Wine need.
WINDOWS_PACKAGES=(cmake ninja-build g++-mingw-w64-x86-64-posix googletest wine64)

# Configures and builds one build folder: build_tree DIR [cmake options...]
build_tree() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir"
}
