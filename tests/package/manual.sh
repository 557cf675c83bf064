#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The manual page: mandoc finds nothing to warn about, and its OPTIONS
# section lists exactly the options that `qir --help` lists.
#   manual.sh QIR MANUAL
set -euo pipefail
qir=$1
manual=$2
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

# --help: the lines of its "Options:" section, up to the first empty line.
from_help=$("$qir" --help | sed -n '/^Options:/,/^$/p' | sed 1d | option_names)
# The manual as a reader sees it, overstrike removed: the OPTIONS section.
from_manual=$(mandoc -T ascii "$manual" | sed 's/.\x08//g' |
  sed -n '/^OPTIONS/,/^[A-Z]/p' | sed '1d;$d' | option_names)

if [ -z "$from_help" ]; then
  echo "qir --help lists no options"
  exit 1
fi
if [ "$from_help" != "$from_manual" ]; then
  echo "qir --help and the manual's OPTIONS differ (< only in --help, > only in the manual):"
  diff <(echo "$from_help") <(echo "$from_manual") | grep -E '^[<>]'
  exit 1
fi
echo "manual lints clean and documents every option of --help:" $from_help
