# SPDX-License-Identifier: MIT
# Run by cpack once it has made a package. cpack packs a .tar.gz or a .zip
# in the order the file system lists the staged files, and with their owner
# on the building machine; such an archive is packed again here from the
# same staged files, in the order of their names, every entry owned by root
# and stamped with SOURCE_DATE_EPOCH (set by CPackOptions.cmake). The .deb
# and the .rpm come out that way from their own tools.
set(staged "${CPACK_TEMPORARY_DIRECTORY}")
get_filename_component(top "${staged}" NAME)
get_filename_component(parent "${staged}" DIRECTORY)
set(epoch "$ENV{SOURCE_DATE_EPOCH}")

foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(package MATCHES "\\.tar\\.gz$")
    execute_process(
      COMMAND tar --create --format=gnu --sort=name --owner=root:0 --group=root:0 "--mtime=@${epoch}"
              --directory "${parent}" "${top}"
      COMMAND gzip -9n
      OUTPUT_FILE "${package}.repacked"
      RESULT_VARIABLE failed)
  elseif(package MATCHES "\\.zip$")
    find_program(QIR_ZIP zip)
    if(NOT QIR_ZIP)
      message(FATAL_ERROR "zip is needed to pack ${package} (apt-get install zip)")
    endif()
    # A zip keeps the local time of each file, and with -X no owner.
    file(REMOVE "${package}.repacked")
    file(GLOB_RECURSE names RELATIVE "${parent}" "${staged}/*")
    list(SORT names)
    list(JOIN names "\n" listing)
    file(WRITE "${package}.names" "${listing}\n")
    execute_process(COMMAND find "${top}" -exec touch -h -d "@${epoch}" {} + WORKING_DIRECTORY "${parent}")
    set(ENV{TZ} UTC0)
    execute_process(
      COMMAND ${QIR_ZIP} -X -D -q -9 "${package}.repacked" -@
      INPUT_FILE "${package}.names"
      WORKING_DIRECTORY "${parent}"
      RESULT_VARIABLE failed)
    file(REMOVE "${package}.names")
  else()
    continue()
  endif()
  if(failed)
    message(FATAL_ERROR "Could not pack ${package} again in a fixed order: ${failed}")
  endif()
  file(RENAME "${package}.repacked" "${package}")
endforeach()
