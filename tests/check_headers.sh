#!/bin/sh
# Each public header compiles on its own and in any order, warning-free, and leaves nothing in
# the includer but the library's own names: the only macros it adds, beyond those of the
# standard headers it includes, are its include guard and the export macro.
set -eu
compiler=$1
include_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
headers="nrutil.h stat.h THZTPluginInterface.h"
flags="-std=c++17 -Wall -Wextra -Werror -I$include_dir"

# The standard headers that the public headers include (nrutil.h: <stdexcept>).
printf '#include <stdexcept>\n' > "$work/base.cpp"
"$compiler" $flags -dM -E "$work/base.cpp" | LC_ALL=C sort > "$work/base.macros"

for h in $headers; do
  printf '#include <kelvarinwizard/%s>\n' "$h" > "$work/one.cpp"
  "$compiler" $flags -fsyntax-only "$work/one.cpp"
  "$compiler" $flags -dM -E "$work/one.cpp" | LC_ALL=C sort > "$work/one.macros"
  added=$(LC_ALL=C comm -13 "$work/base.macros" "$work/one.macros" | sed 's/^#define \([A-Za-z0-9_]*\).*/\1/' |
          grep -v '^KELVARINWIZARD_[A-Z0-9_]*_H$' | grep -v '^KELVARINWIZARD_API$' || true)
  if [ -n "$added" ]; then
    echo "$h leaves macros in the includer: $added"
    exit 1
  fi
  if grep -n 'using namespace' "$include_dir/kelvarinwizard/$h"; then
    echo "$h has a using-directive"
    exit 1
  fi
done

# Every order of the three.
for order in "nrutil.h stat.h THZTPluginInterface.h" "stat.h nrutil.h THZTPluginInterface.h" \
             "THZTPluginInterface.h stat.h nrutil.h" "THZTPluginInterface.h nrutil.h stat.h" \
             "nrutil.h THZTPluginInterface.h stat.h" "stat.h THZTPluginInterface.h nrutil.h"; do
  : > "$work/all.cpp"
  for h in $order; do printf '#include <kelvarinwizard/%s>\n' "$h" >> "$work/all.cpp"; done
  "$compiler" $flags -fsyntax-only "$work/all.cpp"
done
echo "public headers are self-contained and clean"
