#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kestrix developers

# Makes the Debian package from the build and unpacks it into WORK/root, the
# scratch root the other package tests look at.
#   make_package.sh CPACK CPACK_CONFIG WORK
set -euo pipefail
cpack=$1 config=$2 work=$3

rm -rf "$work"
"$cpack" --config "$config" -G DEB -B "$work"
mv "$work"/kestrix_*.deb "$work/kestrix.deb"
dpkg -x "$work/kestrix.deb" "$work/root"
