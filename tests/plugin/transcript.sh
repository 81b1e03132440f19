#!/bin/sh
# Runs kelvarin-host and compares its standard output, standard error and exit status, byte for
# byte, with a transcript. Paths under the build and source trees are written as @BUILD@ and
# @SOURCE@, so transcripts do not depend on where the tree lives.
# Usage: transcript.sh TRANSCRIPT INPUT BUILD_DIR SOURCE_DIR HOST [ARG...]
set -u
transcript=$1 input=$2 build=$3 source=$4
shift 4
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$@" <"$input" >"$tmp/out" 2>"$tmp/err"
status=$?
{
  cat "$tmp/out"
  echo "--- standard error"
  cat "$tmp/err"
  echo "--- exit status $status"
} >"$tmp/raw"
# Literal replacement (no regular expressions), the longer tree first.
awk -v build="$build" -v source="$source" '
  function swap(s, from, to,   out, i) {
    out = ""
    while ((i = index(s, from)) > 0) { out = out substr(s, 1, i - 1) to; s = substr(s, i + length(from)) }
    return out s
  }
  { line = $0
    if (length(build) >= length(source)) { line = swap(line, build, "@BUILD@"); line = swap(line, source, "@SOURCE@") }
    else { line = swap(line, source, "@SOURCE@"); line = swap(line, build, "@BUILD@") }
    print line }' "$tmp/raw" >"$tmp/actual"
if [ "${KW_UPDATE_TRANSCRIPTS:-}" = 1 ]; then
  cp "$tmp/actual" "$transcript"
  echo "updated $transcript"
  exit 0
fi
if ! diff -u "$transcript" "$tmp/actual"; then
  echo "kelvarin-host output differs from $transcript (- expected, + actual)"
  exit 1
fi
