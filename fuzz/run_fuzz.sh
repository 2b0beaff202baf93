#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kestrix developers

# Runs one fuzz target, its output to LOG, and says how many inputs it ran
# and in how long. Fails when the target fails, or when it ran fewer than
# RUNS inputs (its time limit cut it short): a slow run must not pass for a
# thorough one.
#   run_fuzz.sh RUNS LOG TARGET [libFuzzer arguments...]
set -euo pipefail
runs=$1 log=$2
shift 2
target=$(basename "$1")

SECONDS=0
status=0
"$@" -runs="$runs" -print_final_stats=1 >"$log" 2>&1 || status=$?
seconds=$SECONDS
ran=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)

if [ "$status" -ne 0 ]; then
  # The report without the progress lines, which run to thousands.
  grep -v '^#[0-9]' "$log" >&2 || true
  echo "FAIL: $target exited with $status after ${ran:-an unknown number of} inputs (full output in $log)" >&2
  exit 1
fi
echo "$target: ${ran:-0} inputs in $seconds s"
if [ "${ran:-0}" -lt "$runs" ]; then
  echo "FAIL: $target ran fewer than $runs inputs before its time limit (output in $log)" >&2
  exit 1
fi
