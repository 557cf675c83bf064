#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# `cmake --install` into an empty prefix gives the game, its manual page and
# its documents, and nothing else (no test program, no library).
#   install.sh CMAKE BUILD_DIR
set -euo pipefail
cmake=$1
build=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

"$cmake" --install "$build" --prefix "$prefix" >/dev/null
expected='bin/qir
share/doc/qir/LICENSE
share/doc/qir/README.md
share/man/man6/qir.6'
installed=$(cd "$prefix" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort)
if [ "$installed" != "$expected" ]; then
  echo "installed files differ from the expected list (< expected, > installed):"
  diff <(echo "$expected") <(echo "$installed") | grep -E '^[<>]'
  exit 1
fi
"$prefix/bin/qir" --version
