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

# apt-get, waiting for another apt-get that holds the lock (an unattended
# upgrade, a second script) rather than failing.
apt_get() {
  as_root env DEBIAN_FRONTEND=noninteractive \
    apt-get -o DPkg::Lock::Timeout=900 "$@"
}

# apt-get update, tried three times. A mirror in the middle of a sync can
# serve one index of the wrong size for an hour; apt then keeps the other
# indexes it did fetch, so the run goes on with a warning and the install
# that follows says plainly which package could not be had.
apt_update() {
  local attempt
  for attempt in 1 2 3; do
    apt_get update -qq && return 0
    [ "$attempt" -lt 3 ] && { say "apt-get update failed; trying again in 15 s"; sleep 15; }
  done
  say "WARNING: apt-get update failed three times; going on with the indexes apt has"
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
  apt_update
  apt_get install -y -qq --no-install-recommends "${missing[@]}"
}

jobs() { nproc 2>/dev/null || echo 2; }

build_preset() {
  local preset=$1
  say "configuring ($preset)"
  cmake --preset "$preset" >/dev/null
  say "building ($preset)"
  cmake --build --preset "$preset" -j "$(jobs)"
}
