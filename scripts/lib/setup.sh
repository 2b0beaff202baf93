# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kestrix developers

# Shared by scripts/run, scripts/test and scripts/package: install what is
# missing, then build.
# Sourced, not run; expects bash with `set -euo pipefail`.

KESTRIX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
KESTRIX_BUILD="$KESTRIX_ROOT/build"

# Everything the build, the tests, the package and a real window need on a
# fresh Debian machine.
KESTRIX_PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-svg-dev qt6-qpa-plugins libgl-dev libssl-dev qtkeychain-qt6-dev
  libgtest-dev
  clang libclang-rt-dev
  fonts-dejavu-core
  xvfb xauth xdotool x11-utils
  dpkg-dev desktop-file-utils appstream
  clang-format clang-tidy lintian
  python3 python3-vobject libtext-vcard-perl python3-gi gir1.2-ebookcontacts-1.2
  syncthing
  radicale xandikos vdirsyncer
  btrfs-progs
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_missing_packages() {
  local missing=() pkg
  for pkg in "${KESTRIX_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep 'install ok installed' >/dev/null || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}"
  # A fresh machine has empty package lists, so refresh them before the first install.
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Every build goes through a preset of CMakePresets.json, so an IDE that
# opens the folder builds exactly what the scripts and CI build.
configure_and_build() {
  (cd "$KESTRIX_ROOT" && cmake --preset default "$@" && cmake --build --preset default)
}

# The fuzz targets, built with clang into build-fuzz, each run for a counted
# number of inputs; any crash, leak or sanitizer report fails, and so does a
# run that its time limit cut short.
run_fuzz_targets() {
  # Verbose, for the count of inputs each run prints.
  (cd "$KESTRIX_ROOT" && cmake --preset fuzz "$@" && cmake --build --preset fuzz \
    && ctest --preset fuzz --verbose -j "$(nproc)")
}
