#!/bin/sh
# Compares the shared library's defined dynamic symbols (demangled) with the intended
# interface: the union of the lists in tests/exports/.
set -eu
lib=$1
lists=$2
actual=$(nm -DC --defined-only "$lib" | sed 's/^[0-9a-f]* [A-Za-z] //' | LC_ALL=C sort)
expected=$(cat "$lists"/*.txt | grep -v '^#' | grep -v '^$' | LC_ALL=C sort)
if [ "$actual" != "$expected" ]; then
  echo "exported symbols differ from the intended interface (< intended, > exported):"
  printf '%s\n' "$expected" > "${TMPDIR:-/tmp}/kw-expected.$$"
  printf '%s\n' "$actual" > "${TMPDIR:-/tmp}/kw-actual.$$"
  diff "${TMPDIR:-/tmp}/kw-expected.$$" "${TMPDIR:-/tmp}/kw-actual.$$" || true
  rm -f "${TMPDIR:-/tmp}/kw-expected.$$" "${TMPDIR:-/tmp}/kw-actual.$$"
  exit 1
fi
echo "$(printf '%s\n' "$actual" | wc -l) symbols, as intended"
