#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The console knows nothing of the record: it hears of a kept game only
# through AnswerLog, so the console's object file needs no symbol that the
# record's object file defines. The other way round the record does call the
# console (SetAnswerLog), which shows that the comparison sees calls at all.
#   consoleApart.sh OBJECT...    (the objects of qircore)
set -euo pipefail
console=
record=
for object in "$@"; do
  case $object in
    */console.cpp.o) console=$object ;;
    */record.cpp.o) record=$object ;;
  esac
done
if [ -z "$console" ] || [ -z "$record" ]; then
  echo "no console.cpp.o or record.cpp.o among: $*"
  exit 1
fi
command -v nm >/dev/null || { echo "nm is missing (apt-get install binutils)"; exit 77; }

needs() { nm -u "$1" | awk '{ print $NF }' | sort -u; }
# Strong definitions only: an inline function both files use is defined weakly in each.
defines() { nm -g --defined-only "$1" | awk '$2 ~ /^[TDRB]$/ { print $3 }' | sort -u; }

shared=$(comm -12 <(needs "$console") <(defines "$record"))
if [ -n "$shared" ]; then
  echo "the console calls into the record:"
  echo "$shared" | c++filt
  exit 1
fi
# Read whole before it is searched: grep -q would stop reading early, and
# the writer's broken pipe would fail the pipeline.
calls=$(comm -12 <(needs "$record") <(defines "$console") | c++filt)
if ! grep -q '^SetAnswerLog(' <<<"$calls"; then
  echo "the record's call of SetAnswerLog was not seen: the comparison proves nothing"
  exit 1
fi
echo "console.cpp.o needs nothing that record.cpp.o defines"
