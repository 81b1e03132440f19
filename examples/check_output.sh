#!/bin/sh
# Runs an example and compares its standard output and exit status, byte for byte, with the
# expected text. The library computes the same bits everywhere, so the printed digits are fixed.
# Usage: check_output.sh EXPECTED PROGRAM
set -u
expected=$1 program=$2
tmp=$(mktemp)
trap 'rm -f "$tmp"' EXIT
"$program" >"$tmp"
status=$?
echo "--- exit status $status" >>"$tmp"
if [ "${KW_UPDATE_EXPECTED:-}" = 1 ]; then
  cp "$tmp" "$expected"
  echo "updated $expected"
  exit 0
fi
if ! diff -u "$expected" "$tmp"; then
  echo "$program: output differs from $expected (- expected, + actual)"
  exit 1
fi
