# SPDX-License-Identifier: MIT
# The package changelog (packaging/changelog, in Debian's format) is the one
# account of the releases: the Debian package ships it, the RPM carries the
# same entries in its own format, and the date of its newest entry is the
# time every package stamps on its files.
#
#   qir_read_changelog(FILE RPM_RELEASE PREFIX) sets
#     PREFIX_VERSION    the version of the newest entry
#     PREFIX_EPOCH      the time of the newest entry, in seconds since 1970
#     PREFIX_RPM        every entry in the format of an RPM's %changelog, each
#                       version with the release RPM_RELEASE

set(_qir_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)

# Seconds since 1970 of a date as a changelog writes it, such as
# "Tue, 08 Dec 2026 10:00:00 +0000".
function(_qir_changelog_epoch date out)
  if(NOT date MATCHES "^[A-Z][a-z][a-z], ([0-9]+) ([A-Z][a-z][a-z]) ([0-9]+) ([0-9]+):([0-9]+):([0-9]+) ([+-])([0-9][0-9])([0-9][0-9])$")
    message(FATAL_ERROR "packaging/changelog: cannot read the date '${date}'")
  endif()
  foreach(i RANGE 1 9)
    set(f${i} "${CMAKE_MATCH_${i}}")
  endforeach()
  # Leading zeros would be read as octal by math().
  foreach(i 1 3 4 5 6 8 9)
    string(REGEX REPLACE "^0+([0-9])" "\\1" f${i} "${f${i}}")
  endforeach()
  set(sign "${f7}")
  list(FIND _qir_months "${f2}" month)
  if(month LESS 0)
    message(FATAL_ERROR "packaging/changelog: no month '${f2}' in '${date}'")
  endif()
  math(EXPR month "${month} + 1")
  # Days since 1970-01-01 of a civil date, counting years from March so that
  # the leap day falls at the end of the year.
  set(year ${f3})
  if(month LESS_EQUAL 2)
    math(EXPR year "${year} - 1")
    math(EXPR shifted "${month} + 9")
  else()
    math(EXPR shifted "${month} - 3")
  endif()
  math(EXPR era "${year} / 400")
  math(EXPR yoe "${year} - ${era} * 400")
  math(EXPR doy "(153 * ${shifted} + 2) / 5 + ${f1} - 1")
  math(EXPR doe "${yoe} * 365 + ${yoe} / 4 - ${yoe} / 100 + ${doy}")
  math(EXPR days "${era} * 146097 + ${doe} - 719468")
  # A time ahead of UTC (+hhmm) was reached that much earlier in UTC.
  if(sign STREQUAL "+")
    set(toward_utc "-")
  else()
    set(toward_utc "+")
  endif()
  math(EXPR epoch "${days} * 86400 + ${f4} * 3600 + ${f5} * 60 + ${f6} ${toward_utc} (${f8} * 3600 + ${f9} * 60)")
  set(${out} ${epoch} PARENT_SCOPE)
endfunction()

function(qir_read_changelog file release prefix)
  file(STRINGS "${file}" lines)
  set(version "")
  set(epoch "")
  set(rpm "")
  set(items "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^[a-z0-9.+-]+ \\(([^)]+)\\) ")
      set(entry_version "${CMAKE_MATCH_1}")
      set(items "")
    elseif(line MATCHES "^  \\* (.*)$")
      string(APPEND items "- ${CMAKE_MATCH_1}\n")
    elseif(line MATCHES "^    (.*)$")
      string(APPEND items "  ${CMAKE_MATCH_1}\n")
    elseif(line MATCHES "^ -- (.+)  ([A-Z][a-z][a-z]), ([0-9]+) ([A-Z][a-z][a-z]) ([0-9]+) (.*)$")
      # The trailer closes an entry: RPM wants its heading first, as
      # "* Tue Dec 08 2026 Name <address> - VERSION-RELEASE".
      set(heading "* ${CMAKE_MATCH_2} ${CMAKE_MATCH_4} ${CMAKE_MATCH_3} ${CMAKE_MATCH_5} ${CMAKE_MATCH_1}")
      string(APPEND heading " - ${entry_version}-${release}")
      if(NOT rpm STREQUAL "")
        string(APPEND rpm "\n")
      endif()
      string(APPEND rpm "${heading}\n${items}")
      if(version STREQUAL "")
        set(version "${entry_version}")
        string(REGEX REPLACE "^ -- .+  " "" date "${line}")
        _qir_changelog_epoch("${date}" epoch)
      endif()
    endif()
  endforeach()
  if(version STREQUAL "")
    message(FATAL_ERROR "${file}: no complete entry (a heading, items and a ' -- ' line)")
  endif()
  set(${prefix}_VERSION "${version}" PARENT_SCOPE)
  set(${prefix}_EPOCH "${epoch}" PARENT_SCOPE)
  set(${prefix}_RPM "${rpm}" PARENT_SCOPE)
endfunction()
