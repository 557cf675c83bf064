#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Each layer calls only what it may, as nm sees the objects of qircore: the
# system's calls know nothing of the game; the screen alone keeps the output
# and writes it, and knows nothing of the dialogue or the record; the
# dialogue alone reads the keyboard and knows nothing of the record, which
# reaches it only through AnswerSource; the record calls nothing of the
# dialogue or the screen; a seat hears the game through the dialogue's
# Listener and prints through the dialogue, and only the start of a run names
# it; only the system reads the clock or ends the program. A rule that
# forbids calls proves something only when the comparison can see calls at
# all, so the table also names calls that must be seen, and each side of a
# comparison must list symbols. And no source outside the system's folder
# names an errno value: the system says what happened in the game's own words.
#   layers.sh SOURCES OBJECT...    (the folder src/, and the objects of qircore)
set -euo pipefail
command -v nm >/dev/null || { echo "nm is missing (apt-get install binutils)"; exit 77; }
command -v "${CXX:-c++}" >/dev/null || { echo "no C++ compiler to list errno's names"; exit 77; }
sources=$1
shift

# The layer of an object is the folder of its source.
declare -A objects=()
for object in "$@"; do
  case $object in
    */src/os/*) layer=os ;;
    */src/screen/*) layer=screen ;;
    */src/dialogue/*) layer=dialogue ;;
    */src/record/*) layer=record ;;
    */src/seat/*) layer=seat ;;
    */src/drawBrd.cpp.o) layer=board ;;
    */src/*) layer=rules ;;
    *) echo "an object of no layer: $object"; exit 1 ;;
  esac
  objects[$layer]+=" $object"
done
for layer in os screen dialogue record seat board rules; do
  [ -n "${objects[$layer]:-}" ] || { echo "no object of the $layer among: $*"; exit 1; }
done

# What each layer needs and defines, read once with one nm per object; the
# "game" is every layer but the system's. Strong definitions only: an inline
# function two layers use is defined weakly in each. Its variables are those
# another object could name (not the compiler's own reference to the
# exception personality): a layer's state is its own when it has none.
declare -A listed=() needs=() defines=() variables=()
for layer in "${!objects[@]}"; do
  # shellcheck disable=SC2086 # a layer's objects are a list
  listed[$layer]=$(nm -g ${objects[$layer]})
  [ "$layer" = os ] || listed[game]+=$'\n'${listed[$layer]}
done
for layer in "${!listed[@]}"; do
  needs[$layer]=$(awk '$1 == "U" { print $2 }' <<<"${listed[$layer]}" | sort -u)
  defines[$layer]=$(awk '$2 ~ /^[TDRB]$/ { print $3 }' <<<"${listed[$layer]}" | sort -u)
  variables[$layer]=$(awk '$2 ~ /^[DRBVu]$/ && $3 !~ /^DW\.ref\./ { print $3 }' <<<"${listed[$layer]}" | sort -u)
done

failed=0
fail() {
  echo "$1"
  [ -z "${2:-}" ] || c++filt <<<"$2" | sed 's/^/  /'
  failed=1
}

# none CALLER CALLEE: CALLER needs nothing that CALLEE defines.
# some CALLER CALLEE: it needs something, and every such thing is a function.
# only LAYER NAME: no other layer needs the function NAME, and LAYER does.
# never NAME: no layer needs the C library's function NAME.
# own LAYER: LAYER defines no variable another object could name.
while read -r rule first second; do
  case $rule in
    none | some)
      needed=${needs[$first]}
      defined=${defines[$second]}
      if [ -z "$needed" ] || [ -z "$defined" ]; then
        fail "$rule $first $second: nm lists nothing for one side, so the rule proves nothing"
        continue
      fi
      shared=$(comm -12 <(echo "$needed") <(echo "$defined"))
      if [ "$rule" = none ] && [ -n "$shared" ]; then
        fail "the $first calls into the $second:" "$shared"
      elif [ "$rule" = some ] && [ -z "$shared" ]; then
        fail "no call of the $second by the $first was seen: the comparison proves nothing"
      elif [ "$rule" = some ] && [ -n "$(comm -12 <(echo "$shared") <(echo "${variables[$second]}"))" ]; then
        fail "the $first names the state of the $second:" "$(comm -12 <(echo "$shared") <(echo "${variables[$second]}"))"
      fi
      ;;
    only | never)
      seen=0
      [ "$rule" = only ] || { second=$first first=none; }
      for layer in "${!objects[@]}"; do
        # A function of C++ by its demangled name, or one of the C library as it stands.
        users=$(c++filt <<<"${needs[$layer]}" | grep -E "$second\(|^$second\$" || true)
        if [ -n "$users" ] && [ "$layer" = "$first" ]; then
          seen=1
        elif [ -n "$users" ]; then
          fail "the $layer calls $second, which only the $first may call"
        fi
      done
      [ "$rule" = never ] || [ "$seen" = 1 ] || fail "the $first's call of $second was not seen: the rule proves nothing"
      ;;
    own)
      state=${variables[$first]}
      [ -z "$state" ] || fail "the $first has state another object could name:" "$state"
      ;;
  esac
done <<'EOF'
none record dialogue
none record screen
none dialogue record
none screen dialogue
none screen record
none os game
none dialogue seat
none screen seat
none record seat
none seat screen
none seat record
some record os
some seat dialogue
some screen os
some screen board
some dialogue screen
some rules dialogue
some rules record
only dialogue OsReadByte
only screen OsShow
only rules ExplainSeat
only os exit
only os time
never _exit
never _Exit
never quick_exit
never atexit
never clock_gettime
never gettimeofday
own screen
EOF

# Every name of errno.h that this system's C library defines, as a word in a
# source outside src/os: errno itself and the E constants.
names=$(printf '#include <errno.h>\n' | "${CXX:-c++}" -E -dM -x c++ - |
  awk '$1 == "#define" && $2 ~ /^E[A-Z0-9]+$/ { print $2 }' | sort -u)
[ -n "$names" ] || fail "no E constant of errno.h was listed: the errno rule proves nothing"
# shellcheck disable=SC2046 # one -e per name
named=$(find "$sources" -path "$sources/os" -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print0 |
  xargs -0 grep -nwF -e errno $(printf -- '-e %s ' $names) || true)
[ -z "$named" ] || fail "a source outside the system's folder names an errno value:" "$named"
[ "$failed" = 0 ] || exit 1
echo "each layer calls only what it may"
