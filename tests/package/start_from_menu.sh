#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kestrix developers

# Starts the unpacked program the way the menu entry does, on a virtual
# display with an empty home folder: its window must appear with the class the
# entry names, and the card file must land in the entry's data folder.
#   start_from_menu.sh WORK APP_ID
set -euo pipefail
work=$1 id=$2
entry=$work/root/usr/share/applications/$id.desktop

if [ -z "${KESTRIX_ON_DISPLAY:-}" ]; then
  # -noreset: xdotool's short visits would otherwise reset the server, and
  # Kestrix, starting meanwhile, could not connect.
  exec env KESTRIX_ON_DISPLAY=1 xvfb-run -a -s '-screen 0 1280x1024x24 -noreset' "$0" "$@"
fi

fail() { echo "FAIL: $*" >&2; exit 1; }
home=$(mktemp -d)
pid= launcher=
cleanup() { kill $pid $launcher 2>/dev/null; rm -rf "$home"; }
trap cleanup EXIT

exec_line=$(sed -n 's/^Exec=//p' "$entry")
wm_class=$(sed -n 's/^StartupWMClass=//p' "$entry")
# The entry's Exec uses only double quotes, which sh reads the same way.
(cd / && HOME=$home PATH=$work/root/usr/bin:$PATH eval "$exec_line") &
launcher=$!

window=
for _ in $(seq 100); do
  window=$(xdotool search --name '^KESTRIX$' | head -n1) && [ -n "$window" ] && break
  sleep 0.2
done
[ -n "$window" ] || fail "no window named KESTRIX appeared"
pid=$(xdotool getwindowpid "$window")

xprop -id "$window" WM_CLASS | grep -q "\"$wm_class\"\$" || fail "window class is not $wm_class: $(xprop -id "$window" WM_CLASS)"
[ -f "$home/Kestrix/kest1.dat" ] || fail "no card file in ~/Kestrix: $(ls -R "$home")"
echo "started from the menu entry: window KESTRIX, class $wm_class, cards in ~/Kestrix"
