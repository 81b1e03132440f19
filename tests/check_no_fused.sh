#!/bin/sh
# Fails if the shared library contains any fused multiply-add instruction: every product must
# be rounded before it is added, on every machine. Scans the whole disassembly, x86-64 and
# aarch64 (scalar, vector and complex forms).
#   check_no_fused.sh LIBRARY [OBJDUMP]
set -eu
lib=$1
objdump=${2:-objdump}
[ -n "$objdump" ] || objdump=objdump
listing=$("$objdump" -d --no-show-raw-insn "$lib")
# Mnemonic is the first word after the address column; fused forms by their prefixes.
fused=$(printf '%s\n' "$listing" | awk '
  /^[0-9a-f]+ <.*>:$/ { fn = $2; next }
  /^ *[0-9a-f]+:\t/ {
    split($0, part, "\t"); op = part[2]; sub(/ .*/, "", op)
    if (op ~ /^v?f(n?m(add|sub)|maddsub|msubadd)/ || op ~ /^v4fn?madd/ ||
        op ~ /^f(n?madd|n?msub|mla|mls|cmla)$/ || op ~ /^f(mla|mls)l2?$/)
      print fn " " op
  }')
if [ -n "$fused" ]; then
  echo "fused multiply-add instructions in $lib (function, instruction):"
  printf '%s\n' "$fused" | sort | uniq -c
  exit 1
fi
echo "no fused multiply-add in $(printf '%s\n' "$listing" | grep -c '^ *[0-9a-f]*:	') instructions"
