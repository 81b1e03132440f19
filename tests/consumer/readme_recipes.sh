#!/bin/sh
# Runs the README's recipes as a new user would: the code blocks that follow the markers
# "<!-- recipe: install -->", "<!-- recipe: my_code.cpp -->" and "<!-- recipe: pkg-config -->",
# with the install prefix /opt/kelvarinwizard replaced by a scratch folder. The install recipe
# runs in the source tree, the others in a folder of their own, where the program must run.
# Usage: readme_recipes.sh [SOURCE_DIR]
set -eu
source=$(cd "${1:-$(dirname "$0")/../..}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"

# The block after a marker, the fence lines left out, the prefix replaced.
block() {
  awk -v marker="<!-- recipe: $1 -->" -v prefix="$prefix" '
    $0 == marker { found = 1; next }
    found == 1 && /^```/ { found = 2; next }
    found == 2 && /^```/ { exit }
    found == 2 { gsub("/opt/kelvarinwizard", prefix); print }' "$source/README.md"
}
for name in install my_code.cpp pkg-config; do
  if [ -z "$(block "$name")" ]; then
    echo "README.md has no recipe \"$name\"" >&2
    exit 1
  fi
done

echo "-- recipe: install"
block install >"$work/install.sh"
(cd "$source" && sh -eu "$work/install.sh" >"$work/install.log") || { cat "$work/install.log"; exit 1; }
mkdir "$work/user"
block my_code.cpp >"$work/user/my_code.cpp"
echo "-- recipe: pkg-config"
block pkg-config >"$work/pkg-config.sh"
(cd "$work/user" && sh -eu "$work/pkg-config.sh") | tee "$work/output"
grep -qx 'x = (1, 1, 1)' "$work/output"
