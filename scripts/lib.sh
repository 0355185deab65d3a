# Shared by scripts/test and scripts/demo: install what a fresh Debian 12
# machine lacks, then configure and build a CMake preset.

TOLVANE_PACKAGES=(
  g++ cmake ninja-build binutils pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev
  qt6-base-dev libxcb1-dev libxcb-keysyms1-dev libxcb-xtest0-dev
  xvfb xauth x11-utils fonts-dejavu-core fonts-liberation2 imagemagick
)

tolvane_install_packages() {
  local missing=()
  for p in "${TOLVANE_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "== installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

tolvane_build() {
  local preset=$1
  cmake --preset "$preset" -G Ninja >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)"
}

# Fixed locale and a zone that is not UTC, so date and number formatting
# are really exercised.
export TZ=${TZ:-Europe/Moscow}
export LC_ALL=C.UTF-8
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/tolvane-xdg-XXXXXX)}
chmod 700 "$XDG_RUNTIME_DIR"
