#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kestrix developers

# Every picture of docs/ is shown to users, by the README or a page of docs/,
# and software centres show it too: the AppStream description lists it. A
# picture a page shows must be there.
#   screenshots_listed.sh SOURCE_DIR
set -euo pipefail
cd "$1"
metainfo=desktop/kestrix.metainfo.xml.in
missing=()
# The README names them as docs/NAME.png, the pages of docs/ as NAME.png.
mapfile -t shown < <({
  grep -o 'docs/[A-Za-z0-9_.-]*\.png' README.md
  grep -ho '](\([A-Za-z0-9_.-]*\.png\))' docs/*.md | sed 's/^](\(.*\))$/docs\/\1/'
} | sort -u)
for picture in "${shown[@]}"; do
  [ -f "$picture" ] || missing+=("$picture (no such file)")
  grep -q "<image>@KESTRIX_SCREENSHOT_URL@/$(basename "$picture")</image>" "$metainfo" \
    || missing+=("$picture (not in $metainfo)")
done
for picture in docs/*.png; do
  # Not grep -q: it may stop reading before printf ends, and pipefail would
  # count printf's broken pipe as the picture missing.
  printf '%s\n' "${shown[@]}" | grep -xF "$picture" >/dev/null || missing+=("$picture (shown by no page)")
done
if [ ${#missing[@]} -gt 0 ]; then
  printf 'pictures not shown to users, or not listed for software centres: %s\n' "${missing[@]}" >&2
  exit 1
fi
echo "all ${#shown[@]} pictures the README and docs/ show are in $metainfo"
