#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kestrix developers

# Lintian on the package: any error or warning fails. Informational and
# pedantic tags are listed too, so a new one shows in the log; one that is
# wrong for this package belongs in packaging/lintian-overrides, with the
# reason.
#   lintian.sh WORK
set -euo pipefail
deb=$1/kestrix.deb

# Lintian also says on stderr that it runs as root (as CI does); that note is
# no finding, so only its tag lines on stdout are judged.
status=0
tags=$(lintian --display-info --pedantic --display-experimental --fail-on error,warning "$deb") || status=$?
[ -n "$tags" ] && printf '%s\n' "$tags"
if [ "$status" -ne 0 ] || grep -q '^[EW]: ' <<<"$tags"; then
  echo "FAIL: lintian found errors or warnings (exit status $status)" >&2
  exit 1
fi
echo "lintian: no error, no warning"
