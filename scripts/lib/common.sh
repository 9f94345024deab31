# Shared by the scripts: say what is done, and install what is missing.
# shellcheck shell=bash

say() { printf '==> %s\n' "$*"; }

# Every Debian package the build, the tests and the tools need.
TARNWICK_PACKAGES=(
  build-essential cmake pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  libwxgtk3.2-dev libgtk-3-dev
  # The progress bar's accessibility, checked through an AT-SPI bus.
  at-spi2-core python3-pyatspi dbus
  xvfb xauth imagemagick fonts-nanum
  clang libclang-rt-14-dev
  # The Debian package: its Depends come from dpkg-shlibdeps, which CPack
  # runs on what `file` calls ELF; its desktop entry, the package and its
  # AppStream metainfo are validated.
  dpkg-dev file desktop-file-utils lintian appstream
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

# apt-get update, tried three times a minute apart. A mirror in the middle
# of a sync can serve one index of the wrong size for an hour; apt then
# keeps the other indexes it did fetch, so the run goes on with a warning
# that names the index, and the install that follows says which package
# could not be had.
apt_update() {
  local attempt log
  log=$(mktemp)
  for attempt in 1 2 3; do
    if apt_get update -qq 2>&1 | tee "$log"; then
      rm -f "$log"
      return 0
    fi
    [ "$attempt" -lt 3 ] && { say "apt-get update failed; trying again in a minute"; sleep 60; }
  done
  say "WARNING: apt-get update failed three times; going on with the indexes apt has. What failed:"
  grep -E '^(E|W|Err):' "$log" | sed 's/^/==>   /' || true
  rm -f "$log"
}

# apt-get install of the packages named; when that fails, says which of
# them were wanted and stops.
apt_install() {
  if ! apt_get install -y -qq --no-install-recommends "$@"; then
    echo "==> could not install: $* (apt said why above)" >&2
    return 1
  fi
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
  apt_install "${missing[@]}"
}

jobs() { nproc 2>/dev/null || echo 2; }

build_preset() {
  local preset=$1
  say "configuring ($preset)"
  cmake --preset "$preset" >/dev/null
  say "building ($preset)"
  cmake --build --preset "$preset" -j "$(jobs)"
}
