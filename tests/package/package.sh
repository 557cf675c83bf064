#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The packages as players get them.
#   package.sh build CPACK BUILD_DIR OUT    cpack both packages into OUT
#   package.sh deb OUT SOURCE_DIR CLOCK_LIB the .deb's files, and its game
#                                           playing a recorded session
#   package.sh targz OUT VERSION            the .tar.gz's files
#   package.sh lintian OUT                  no error from lintian
set -euo pipefail
step=$1
shift

need() {
  command -v "$1" >/dev/null || { echo "$1 is missing (apt-get install $2)"; exit 77; }
}

# The one package of a kind in OUT.
package() {
  local found=("$1"/*."$2")
  [ ${#found[@]} = 1 ] && [ -f "${found[0]}" ] || { echo "expected one .$2 in $1, found: ${found[*]}"; exit 1; }
  echo "${found[0]}"
}

# same_list WHAT EXPECTED ACTUAL
same_list() {
  if [ "$2" != "$3" ]; then
    echo "$1 differ from the expected list (< expected, > found):"
    diff <(echo "$2") <(echo "$3") | grep -E '^[<>]'
    exit 1
  fi
}

case $step in
build)
  need dpkg-deb dpkg
  need dpkg-shlibdeps dpkg-dev
  cpack=$1 build=$2 out=$3
  rm -rf "$out"
  mkdir -p "$out"
  "$cpack" --config "$build/CPackConfig.cmake" -B "$out" -G "DEB;TGZ"
  package "$out" deb >/dev/null
  package "$out" tar.gz >/dev/null
  ;;

deb)
  need dpkg-deb dpkg
  out=$1 source=$2 clock=$3
  deb=$(package "$out" deb)
  root=$(mktemp -d)
  trap 'rm -rf "$root"' EXIT
  dpkg-deb -x "$deb" "$root"
  files=$(cd "$root" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort)
  same_list "files of the .deb" 'usr/games/qir
usr/share/doc/qir/changelog.gz
usr/share/doc/qir/copyright
usr/share/man/man6/qir.6.gz' "$files"

  # Compressed as Debian asks: maximum compression, no name, no time stamp.
  gzip -9n -c "$source/qir.6" | cmp - "$root/usr/share/man/man6/qir.6.gz"
  cmp "$source/packaging/copyright" "$root/usr/share/doc/qir/copyright"
  version=$(dpkg-deb -f "$deb" Version)
  zcat "$root/usr/share/doc/qir/changelog.gz" | head -1 | grep -qF "qir ($version) " ||
    { echo "the changelog does not start with version $version"; exit 1; }
  if readelf -S "$root/usr/games/qir" | grep -q '\.symtab'; then
    echo "usr/games/qir is not stripped"
    exit 1
  fi

  # The packaged game plays a recorded session exactly as recorded: its
  # answers follow the "# " header lines, one of which gives the clock.
  session=$source/tests/data/round-as-player1.in
  reading=$(sed -n 's/^# clock \([0-9]*\)$/\1/p' "$session")
  awk 'answers || !/^# / { answers = 1; print }' "$session" >"$root/session.in"
  status=0
  LD_PRELOAD=$clock QIR_TEST_CLOCK=${reading:-1000} "$root/usr/games/qir" \
    <"$root/session.in" >"$root/session.out" || status=$?
  [ "$status" = 0 ] || { echo "the packaged game ended with status $status"; exit 1; }
  cmp "$source/tests/data/round-as-player1.out" "$root/session.out"
  ;;

targz)
  out=$1 version=$2
  archive=$(package "$out" tar.gz)
  top=$(basename "$archive" .tar.gz)
  files=$(tar -tzf "$archive" | grep -v '/$' | LC_ALL=C sort)
  same_list "files of the .tar.gz" "$top/bin/qir
$top/share/doc/qir/LICENSE
$top/share/doc/qir/README.md
$top/share/man/man6/qir.6" "$files"
  case $top in qir-"$version"-*) ;; *) echo "$top does not name version $version"; exit 1 ;; esac
  ;;

lintian)
  need lintian lintian
  deb=$(package "$1" deb)
  report=$(lintian --allow-root --display-info --pedantic "$deb" 2>&1) || true
  echo "$report"
  if grep -qE '^E: ' <<<"$report"; then
    exit 1
  fi
  ;;

*)
  echo "unknown step $step"
  exit 2
  ;;
esac
