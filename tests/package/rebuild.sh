#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The packages can be checked against their sources: the source package,
# unpacked into another folder (another name, another length, the other
# umask, a later time), builds the game, which plays every recorded session
# as recorded, and packs packages equal byte for byte to the first ones.
#   rebuild.sh linux SOURCE_PACKAGE PACKAGE...
#       the game built with the compiler, build type and flags of the first
#       build (whose folder QIR_FIRST_BUILD names, or else the defaults), and
#       its .deb, .tar.gz, RPM and source package
#   rebuild.sh windows SOURCE_PACKAGE ZIP
#       the game cross-built for Windows (preset windows), and its zip
#   rebuild.sh web SOURCE_PACKAGE ZIP
#       the web page (preset web), and its zip
# Each PACKAGE or ZIP is compared with the package of the same name built
# here. Prints the SHA-256 of both builds of each package.
set -euo pipefail
# shellcheck source=session.sh
. "$(dirname "$(realpath "$0")")/session.sh"
kind=$1
tarball=$(realpath "$2")
shift 2
firsts=()
for package in "$@"; do
  [ -f "$package" ] || { echo "no package $package to compare"; exit 1; }
  firsts+=("$(realpath "$package")")
done
started=$SECONDS

# The same bytes come only from the same compiler and flags: the rebuild takes
# the first build's, as its CMakeCache.txt holds them. Where they name that
# build's own folders, or keep the folders whole as a Debug build does, no
# build elsewhere can match, and the test is skipped, saying why.
same_flags=()
if [ "$kind" = linux ] && [ -n "${QIR_FIRST_BUILD:-}" ]; then
  cache=$QIR_FIRST_BUILD/CMakeCache.txt
  cached() { sed -n "s/^$1:[A-Z]*=//p" "$cache"; }
  type=$(cached CMAKE_BUILD_TYPE)
  upper=$(echo "$type" | tr '[:lower:]' '[:upper:]')
  first_source=$(cached CMAKE_HOME_DIRECTORY)
  for name in CMAKE_CXX_COMPILER CMAKE_BUILD_TYPE CMAKE_CXX_FLAGS "CMAKE_CXX_FLAGS_$upper" CMAKE_EXE_LINKER_FLAGS \
              "CMAKE_EXE_LINKER_FLAGS_$upper"; do
    value=$(cached "$name")
    for folder in "$QIR_FIRST_BUILD" "$first_source"; do
      if [ -n "$folder" ] && [[ $value == *"$folder"* ]]; then
        echo "skipped: $name of the first build names its own folders ($value); no build elsewhere can match it"
        exit 77
      fi
    done
    same_flags+=("-D$name=$value")
  done
  if [ "$upper" = DEBUG ]; then
    echo "skipped: a Debug build keeps its folders in its debugging information; no build elsewhere can match it"
    exit 77
  fi
fi

# The other umask than the first build's: folders and files made by this
# build would then differ, were their modes not fixed by the packaging.
if [ "$(umask)" = 0002 ]; then other=0022; else other=0002; fi
umask "$other"

# A folder whose path differs from the first build's in name and length;
# on another file system where there is one at hand (a tmpfs lists a
# folder's files in another order than ext4 does, and the order of the
# files in a package must not follow it).
parent=${TMPDIR:-/tmp}
if [ -d /dev/shm ] && [ -w /dev/shm ] && [ "$(stat -f -c %T /dev/shm)" != "$(stat -f -c %T "${firsts[0]}")" ]; then
  parent=/dev/shm
fi
work=$(mktemp -d "$parent/qir-rebuilt-elsewhere.XXXXXX")
trap 'rm -rf "$work"' EXIT
tar -xzf "$tarball" -C "$work"
source=$work/$(basename "$tarball" .tar.gz)
# As a checkout under this umask would leave them: writable by the group.
[ "$other" = 0022 ] || chmod -R g+w "$source"
cd "$source"

# Times: the first packages are at least a second old when these are made.
newest=0
for package in "${firsts[@]}"; do
  t=$(stat -c %Y "$package")
  [ "$t" -le "$newest" ] || newest=$t
done
[ "$(date +%s)" -gt "$newest" ] || sleep 1

case $kind in
linux)
  # The source package is made from git's list of files, so this folder
  # becomes a repository that tracks them all.
  git init -q && git add -A
  cmake -S . -B build -DBUILD_TESTING=ON -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON "${same_flags[@]}" >build.log 2>&1 ||
    { cat build.log; exit 1; }
  cmake --build build -j2 --target qir qirclock qir_package_files >>build.log 2>&1 || { cat build.log; exit 1; }
  # The sessions of the unpacked sources, played by the game built from them.
  play_sessions "$source/build/qir" "$source/build/tests/libqirclock.so" "$source/tests/data"
  cpack --config build/CPackConfig.cmake -B packages -G "DEB;TGZ;RPM" >>build.log 2>&1 || { cat build.log; exit 1; }
  cpack --config build/CPackSourceConfig.cmake -B packages >>build.log 2>&1 || { cat build.log; exit 1; }
  ;;
windows)
  cmake --preset windows >build.log 2>&1 || { cat build.log; exit 1; }
  cmake --build --preset windows >>build.log 2>&1 || { cat build.log; exit 1; }
  mkdir -p packages
  cpack --preset windows -B "$source/packages" >>build.log 2>&1 || { cat build.log; exit 1; }
  ;;
web)
  cmake --preset web >build.log 2>&1 || { cat build.log; exit 1; }
  cmake --build --preset web >>build.log 2>&1 || { cat build.log; exit 1; }
  mkdir -p packages
  cpack --preset web -B "$source/packages" >>build.log 2>&1 || { cat build.log; exit 1; }
  ;;
*)
  echo "unknown kind $kind"
  exit 2
  ;;
esac

status=0
for package in "${firsts[@]}"; do
  again=packages/$(basename "$package")
  printf '%s\n  %s\n  %s\n' "$(basename "$package")" "$(sha256sum <"$package" | cut -d' ' -f1) first build" \
    "$(sha256sum <"$again" 2>/dev/null | cut -d' ' -f1) built again in $source, umask $other"
  if ! cmp "$package" "$again"; then
    echo "$(basename "$package") differs when built again"
    status=1
  fi
done
echo "rebuilt and compared ${#firsts[@]} packages in $((SECONDS - started)) s"
exit $status
