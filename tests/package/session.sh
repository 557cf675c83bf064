# shellcheck shell=bash
# SPDX-License-Identifier: MIT
# Sourced by the package tests: plays recorded sessions with a game as it
# was packaged or built, under the test clock, against their transcripts.

# play_sessions QIR CLOCK_LIB DATA_DIR [NAME...]: plays DATA_DIR/NAME.in (every
# .in when no NAME is given) and compares what the game prints with NAME.out.
# A session's answers follow its "# " header lines, which may give the clock
# and the game's arguments.
play_sessions() {
  local qir=$1 clock=$2 data=$3 name session reading args status played
  shift 3
  if [ $# = 0 ]; then
    for session in "$data"/*.in; do
      set -- "$@" "$(basename "$session" .in)"
    done
  fi
  played=$(mktemp -d)
  for name in "$@"; do
    session=$data/$name.in
    reading=$(sed -n 's/^# clock \([0-9]*\)$/\1/p' "$session")
    args=$(sed -n 's/^# args //p' "$session")
    awk 'answers || !/^# / { answers = 1; print }' "$session" >"$played/$name.in"
    status=0
    # shellcheck disable=SC2086 # the arguments are words
    LD_PRELOAD=$clock QIR_TEST_CLOCK=${reading:-1000} "$qir" $args <"$played/$name.in" >"$played/$name.out" ||
      status=$?
    if [ "$status" != 0 ]; then
      echo "$qir ended the session $name with status $status"
      rm -rf "$played"
      return 1
    fi
    if ! cmp "$data/$name.out" "$played/$name.out"; then
      rm -rf "$played"
      return 1
    fi
  done
  rm -rf "$played"
  echo "$qir played as recorded: $*"
}
