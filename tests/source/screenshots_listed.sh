#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kestrix developers

# Every picture of docs/ that the README shows is one that software centres
# show too: the AppStream description lists it, and it is there.
#   screenshots_listed.sh SOURCE_DIR
set -euo pipefail
cd "$1"
metainfo=desktop/kestrix.metainfo.xml.in
missing=()
mapfile -t shown < <(grep -o 'docs/[A-Za-z0-9_.-]*\.png' README.md | sort -u)
for picture in "${shown[@]}"; do
  [ -f "$picture" ] || missing+=("$picture (no such file)")
  grep -q "<image>@KESTRIX_SCREENSHOT_URL@/$(basename "$picture")</image>" "$metainfo" \
    || missing+=("$picture (not in $metainfo)")
done
if [ ${#missing[@]} -gt 0 ]; then
  printf 'shown by the README but not listed for software centres: %s\n' "${missing[@]}" >&2
  exit 1
fi
echo "all ${#shown[@]} pictures the README shows are in $metainfo"
