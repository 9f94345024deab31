# Shared by the scripts: say what is done, and install what is missing.
# shellcheck shell=bash

say() { printf '==> %s\n' "$*"; }

# Every Debian package the build, the tests and the tools need.
TARNWICK_PACKAGES=(
  build-essential cmake pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  libwxgtk3.2-dev
  xvfb xauth imagemagick fonts-nanum
  clang libclang-rt-14-dev
  # The Debian package: its Depends come from dpkg-shlibdeps, which CPack
  # runs on what `file` calls ELF; its desktop entry is validated.
  dpkg-dev file desktop-file-utils
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

ensure_packages() {
  local missing=()
  local package
  for package in "${TARNWICK_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$package")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then
    say "all packages present"
    return
  fi
  say "installing: ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

jobs() { nproc 2>/dev/null || echo 2; }

build_preset() {
  local preset=$1
  say "configuring ($preset)"
  cmake --preset "$preset" >/dev/null
  say "building ($preset)"
  cmake --build --preset "$preset" -j "$(jobs)"
}
