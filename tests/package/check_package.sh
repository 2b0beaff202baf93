#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kestrix developers

# The unpacked package holds exactly the program, its desktop integration and
# the documents Debian asks for, each where it is looked for, and its Depends
# come from the binary.
#   check_package.sh WORK APP_ID
set -euo pipefail
work=$1 id=$2
root=$work/root
fail() { echo "FAIL: $*" >&2; exit 1; }

expected=(
  usr/bin/kestrix
  "usr/share/applications/$id.desktop"
  "usr/share/icons/hicolor/scalable/apps/$id.svg"
  "usr/share/metainfo/$id.metainfo.xml"
  usr/share/doc/kestrix/copyright
  usr/share/doc/kestrix/changelog.gz
  usr/share/man/man1/kestrix.1.gz
  usr/share/lintian/overrides/kestrix
)
for size in 16 32 48 64 128 256; do
  expected+=("usr/share/icons/hicolor/${size}x$size/apps/$id.png")
done
diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$root" && find . -type f -printf '%P\n' | sort) \
  || fail "the package's files differ from the expected list (< expected, > packaged)"

# A PNG's width and height are the big-endian words at bytes 16 and 20.
for size in 16 48 256; do
  png=$root/usr/share/icons/hicolor/${size}x$size/apps/$id.png
  read -r w h < <(od -An -tu1 -j16 -N8 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
  [ "$w $h" = "$size $size" ] || fail "$png is ${w}x$h, not ${size}x$size"
done

depends=$(dpkg-deb -f "$work/kestrix.deb" Depends)
echo "Depends: $depends"
grep -q 'libqt6widgets6' <<<"$depends" || fail "Depends does not name libqt6widgets6"

# The newest release the software centre shows is the version being packaged.
version=$(dpkg-deb -f "$work/kestrix.deb" Version)
release=$(grep -o '<release version="[^"]*"' "$root/usr/share/metainfo/$id.metainfo.xml" | head -n1 | cut -d'"' -f2)
[ "$release" = "$version" ] || fail "the metainfo's newest release is $release, the package is $version"
# So does the newest changelog entry.
entry=$(gzip -dc "$root/usr/share/doc/kestrix/changelog.gz" | sed -n '1s/^kestrix (\([^)]*\)).*/\1/p')
[ "$entry" = "$version" ] || fail "the changelog's newest entry is '$entry', the package is $version"
echo "package layout ok"
