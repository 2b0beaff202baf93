#!/usr/bin/env bash
# Makes the Debian package from the build and unpacks it into WORK/root, the
# scratch root the other package tests look at.
#   make_package.sh CPACK CPACK_CONFIG WORK
set -euo pipefail
cpack=$1 config=$2 work=$3

rm -rf "$work"
mkdir -p "$work"
"$cpack" --config "$config" -G DEB -B "$work"
debs=("$work"/kestrix_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "expected one kestrix_*.deb in $work" >&2; exit 1; }
ln -s "$(basename "${debs[0]}")" "$work/kestrix.deb"
dpkg -x "${debs[0]}" "$work/root"
