#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The manual page: mandoc finds nothing to warn about, and its OPTIONS
# section lists exactly the options that `qir --help` lists. So does the
# OPTIONS section of the player's guide of the Windows zip. The manual's
# account of play is the one `qir --rules` prints.
#   manual.sh QIR MANUAL GUIDE
set -euo pipefail
qir=$1
manual=$2
guide=$3
command -v mandoc >/dev/null || { echo "mandoc is missing (apt-get install mandoc)"; exit 77; }

status=0
lint=$(mandoc -T lint -W warning "$manual" 2>&1) || status=$?
if [ -n "$lint" ] || [ "$status" != 0 ]; then
  echo "mandoc -T lint -W warning (status $status):"
  echo "$lint"
  exit 1
fi

# The options named at the head of each option line of a listing, one per
# line and sorted: "  -s, --seed N   text" gives -s and --seed. The head ends
# at the first gap of two spaces.
option_names() {
  sed -E 's/^ +//; s/ {2,}.*//' | grep -E '^-' | grep -oE -- '--?[A-Za-z0-9][A-Za-z0-9-]*' | sort -u
}

# The options of a section headed OPTIONS, up to the next heading.
options_section() {
  sed -n '/^OPTIONS/,/^[A-Z]/p' | sed '1d;$d' | option_names
}

# same_options WHERE OPTIONS: fails unless OPTIONS are those of --help.
same_options() {
  if [ "$from_help" != "$2" ]; then
    echo "qir --help and the OPTIONS of the $1 differ (< only in --help, > only in the $1):"
    diff <(echo "$from_help") <(echo "$2") | grep -E '^[<>]'
    exit 1
  fi
}

# --help: the lines of its "Options:" section, up to the first empty line.
from_help=$("$qir" --help | sed -n '/^Options:/,/^$/p' | sed 1d | option_names)
if [ -z "$from_help" ]; then
  echo "qir --help lists no options"
  exit 1
fi
# The manual as a reader sees it, overstrike removed.
same_options manual "$(mandoc -T ascii "$manual" | sed 's/.\x08//g' | options_section)"
same_options "Windows guide" "$(options_section <"$guide")"

# The manual's HOW PLAY GOES tells play in the words of `qir --rules`.
words() { tr -cd '[:alnum:]'; }
from_rules=$("$qir" --rules | sed -n '/^HOW PLAY GOES$/,$p' | sed 1,2d | words)
from_manual=$(mandoc -T ascii "$manual" | sed 's/.\x08//g' | sed -n '/^HOW PLAY GOES/,/^[A-Z]/p' | sed '1d;$d' | words)
if [ -z "$from_rules" ] || [ "$from_rules" != "$from_manual" ]; then
  echo "the manual's HOW PLAY GOES and the account of qir --rules differ:"
  diff <(fold -w 60 <<<"$from_rules") <(fold -w 60 <<<"$from_manual") | head -5
  exit 1
fi
echo "manual lints clean; it and the Windows guide document every option of --help:" $from_help
echo "the manual tells play as qir --rules does"
