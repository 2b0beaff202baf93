#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kestrix developers

# Every source, script and CMake file opens (after its #! line, if any) with
# the licence's SPDX line and a copyright line, so a file added without them
# is caught. Lists every file that lacks them.
#   licence_headers.sh SOURCE_DIR
set -euo pipefail
cd "$1"

# In a checkout, the tracked files and the new ones not ignored; elsewhere,
# say an unpacked source archive, every file but the build folders'.
if [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$(pwd -P)" ]; then
  files() { git ls-files --cached --others --exclude-standard; }
else
  files() { find . \( -name .git -o -type d -name 'build*' \) -prune -o -type f -print | sed 's|^\./||'; }
fi

checked=0 missing=()
while IFS= read -r file; do
  # In a case pattern * matches / too: *.sh takes in every folder.
  case $file in
    *.cpp | *.h | *.h.in | CMakeLists.txt | */CMakeLists.txt | *.cmake | scripts/* | .ci/run | *.sh | *.py | *.pl) ;;
    *) continue ;;
  esac
  [ -f "$file" ] || continue # deleted, not yet committed
  checked=$((checked + 1))
  head=$(awk 'NR == 1 && /^#!/ { next } { print; if (++n == 2) exit }' "$file")
  grep -q 'SPDX-License-Identifier: GPL-3.0-or-later$' <<<"$head" \
    && grep -Eq 'Copyright \(C\) [0-9]{4}(-[0-9]{4})? The Kestrix developers$' <<<"$head" \
    || missing+=("$file")
done < <(files)

[ "$checked" -gt 0 ] || { echo "FAIL: no source file found in $PWD" >&2; exit 1; }
if [ ${#missing[@]} -gt 0 ]; then
  echo "FAIL: ${#missing[@]} of $checked files lack the SPDX and copyright lines at the top:" >&2
  printf '  %s\n' "${missing[@]}" >&2
  exit 1
fi
echo "all $checked source, script and CMake files carry the SPDX and copyright lines"
