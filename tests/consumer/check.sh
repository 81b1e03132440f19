#!/bin/sh
# Installs the library from the build directory $1 into a temporary prefix, then builds and
# runs the outside project twice: found by its CMake package, and found by pkg-config.
set -eu
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
libdir=$(dirname "$(find "$work/prefix" -name 'libkelvarinwizard.so' | head -n 1)")
echo "installed:"
(cd "$work/prefix" && find . -type f -o -type l | sort | sed 's/^/  /')

cmake -S "$here" -B "$work/with-package" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/with-package" >/dev/null
LD_LIBRARY_PATH="$libdir" "$work/with-package/consumer"

PKG_CONFIG_PATH="$libdir/pkgconfig" cmake -S "$here" -B "$work/with-pkg-config" -DUSE_PKG_CONFIG=ON >/dev/null
cmake --build "$work/with-pkg-config" >/dev/null
LD_LIBRARY_PATH="$libdir" "$work/with-pkg-config/consumer"
