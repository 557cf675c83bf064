#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The packages as players get them.
#   package.sh build CPACK BUILD_DIR OUT    cpack the .deb and the .tar.gz into OUT
#   package.sh build-rpm CPACK BUILD_DIR OUT
#                                           cpack the RPM into OUT
#   package.sh build-source CPACK BUILD_DIR OUT SOURCE_DIR
#                                           cpack the source package into OUT;
#                                           it holds the files git tracks
#   package.sh deb OUT SOURCE_DIR CLOCK_LIB the .deb's files, and its game
#                                           playing a recorded session
#   package.sh rpm OUT SOURCE_DIR CLOCK_LIB the same of the RPM
#   package.sh targz OUT VERSION            the .tar.gz's files
#   package.sh lintian OUT                  no error or warning from lintian
#   package.sh rpmlint OUT                  no error from rpmlint but the
#                                           missing signature
set -euo pipefail
here=$(dirname "$0")
# shellcheck source=session.sh
. "$here/session.sh"
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

# stripped PROGRAM: fails when PROGRAM still has its symbol table.
stripped() {
  if grep -q '\.symtab' <<<"$(readelf -S "$1")"; then
    echo "$1 is not stripped"
    exit 1
  fi
}

# same_list WHAT EXPECTED ACTUAL
same_list() {
  if [ "$2" != "$3" ]; then
    echo "$1 differ from the expected list (< expected, > found):"
    diff <(echo "$2") <(echo "$3") | grep -E '^[<>]'
    exit 1
  fi
}

# cpack_into CONFIG OUT [cpack options...]: a new folder OUT with the packages.
cpack_into() {
  local config=$1 out=$2
  shift 2
  rm -rf "$out"
  mkdir -p "$out"
  "$cpack" --config "$config" -B "$out" "$@"
  rm -rf "$out/_CPack_Packages"
}

# The tracked files, sorted: those of the source package, without its top folder.
tracked_files() {  # source-dir
  git -C "$1" ls-files | LC_ALL=C sort
}

case $step in
build)
  need dpkg-deb dpkg
  need dpkg-shlibdeps dpkg-dev
  cpack=$1 build=$2 out=$3
  cpack_into "$build/CPackConfig.cmake" "$out" -G "DEB;TGZ"
  package "$out" deb >/dev/null
  package "$out" tar.gz >/dev/null
  ;;

build-rpm)
  need rpmbuild rpm
  cpack=$1 build=$2 out=$3
  cpack_into "$build/CPackConfig.cmake" "$out" -G RPM
  package "$out" rpm >/dev/null
  ;;

build-source)
  cpack=$1 build=$2 out=$3 source=$4
  [ -e "$source/.git" ] && command -v git >/dev/null ||
    { echo "the source package is made from a git checkout, and $source is none"; exit 77; }
  cpack_into "$build/CPackSourceConfig.cmake" "$out"
  archive=$(package "$out" tar.gz)
  top=$(basename "$archive" .tar.gz)
  files=$(tar -tzf "$archive" | grep -v '/$' | sed "s|^$top/||" | LC_ALL=C sort)
  same_list "files of the source package" "$(tracked_files "$source")" "$files"
  case $top in *-Source) ;; *) echo "$top is not named as a source package"; exit 1 ;; esac
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
  grep -qF "qir ($version) " <<<"$(zcat "$root/usr/share/doc/qir/changelog.gz" | sed -n 1p)" ||
    { echo "the changelog does not start with version $version"; exit 1; }
  stripped "$root/usr/games/qir"
  play_sessions "$root/usr/games/qir" "$clock" "$source/tests/data" round-as-player1
  ;;

rpm)
  need rpm rpm
  need cpio cpio
  out=$1 source=$2 clock=$3
  rpm=$(package "$out" rpm)
  # Fedora's layout: the game in /usr/bin, the manual gzipped, the README
  # marked as documentation and the licence as a licence.
  same_list "files of the RPM" '/usr/bin/qir
/usr/share/doc/qir
/usr/share/doc/qir/README.md
/usr/share/licenses/qir
/usr/share/licenses/qir/LICENSE
/usr/share/man/man6/qir.6.gz' "$(rpm -qlp "$rpm" | LC_ALL=C sort)"
  same_list "documents of the RPM" '/usr/share/doc/qir/README.md
/usr/share/man/man6/qir.6.gz' "$(rpm -qdp "$rpm" | LC_ALL=C sort)"
  same_list "licences of the RPM" /usr/share/licenses/qir/LICENSE "$(rpm -qLp "$rpm")"
  version=$(rpm -qp --queryformat '%{VERSION}-%{RELEASE}' "$rpm")
  grep -qE -- " - $version\$" <<<"$(rpm -qp --changelog "$rpm" | sed -n 1p)" ||
    { echo "the RPM's changelog does not start with version $version"; exit 1; }

  root=$(mktemp -d)
  trap 'rm -rf "$root"' EXIT
  rpm2cpio "$rpm" | (cd "$root" && cpio -idm --quiet)
  gzip -9n -c "$source/qir.6" | cmp - "$root/usr/share/man/man6/qir.6.gz"
  cmp "$source/LICENSE" "$root/usr/share/licenses/qir/LICENSE"
  stripped "$root/usr/bin/qir"
  play_sessions "$root/usr/bin/qir" "$clock" "$source/tests/data" round-as-player1
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
  if grep -qE '^[EW]: ' <<<"$report"; then
    exit 1
  fi
  ;;

rpmlint)
  need rpmlint rpmlint
  rpm=$(package "$1" rpm)
  # rpmlint's own settings only: no configuration of this machine or user
  # may filter anything out.
  empty=$(mktemp -d)
  trap 'rm -rf "$empty"' EXIT
  report=$(XDG_CONFIG_HOME=$empty XDG_CONFIG_DIRS=$empty rpmlint "$rpm" 2>&1) || true
  echo "$report"
  if grep -E '^[^ ]+: E: ' <<<"$report" | grep -vqE ': E: no-signature$'; then
    exit 1
  fi
  grep -qE '^ *1 packages? and ' <<<"$report" || { echo "rpmlint checked nothing"; exit 1; }
  ;;

*)
  echo "unknown step $step"
  exit 2
  ;;
esac
