# SPDX-License-Identifier: MIT
# Run by cpack once it has made a package, so that the same files give the
# same package on any machine and file system:
# - cpack packs a .tar.gz or a .zip in the order the file system lists the
#   staged files, and with their owner on the building machine; such an
#   archive is packed again here from the same staged files, in the order
#   of their names, every entry owned by root and stamped with
#   SOURCE_DATE_EPOCH (set by CPackOptions.cmake).
# - cpack's .deb counts the sizes the file system gives its folders into
#   the Installed-Size, and gives its members the modes of the umask. It is
#   packed again by dpkg-deb, the way Debian packs its own packages, with the
#   Installed-Size counted as dpkg-gencontrol counts it: each file's size in
#   KiB, rounded up, and 1 KiB for each folder.
# The .rpm comes out right from rpmbuild.
set(staged "${CPACK_TEMPORARY_DIRECTORY}")
get_filename_component(top "${staged}" NAME)
get_filename_component(parent "${staged}" DIRECTORY)
set(epoch "$ENV{SOURCE_DATE_EPOCH}")

# The Installed-Size of the files under TREE, its DEBIAN folder left out.
function(qir_installed_size tree out)
  file(GLOB_RECURSE paths LIST_DIRECTORIES true "${tree}/*")
  set(kib 0)
  foreach(path IN LISTS paths)
    if(path MATCHES "^${tree}/DEBIAN(/|$)")
      continue()
    elseif(IS_DIRECTORY "${path}" AND NOT IS_SYMLINK "${path}")
      math(EXPR kib "${kib} + 1")
    else()
      file(SIZE "${path}" bytes)
      math(EXPR kib "${kib} + (${bytes} + 1023) / 1024")
    endif()
  endforeach()
  set(${out} ${kib} PARENT_SCOPE)
endfunction()

# Packs the .deb PACKAGE again with dpkg-deb.
function(qir_repack_deb package)
  set(tree "${package}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND dpkg-deb -x "${package}" "${tree}" RESULT_VARIABLE failed)
  if(NOT failed)
    execute_process(COMMAND dpkg-deb -e "${package}" "${tree}/DEBIAN" RESULT_VARIABLE failed)
  endif()
  if(failed)
    message(FATAL_ERROR "dpkg-deb could not unpack ${package}: ${failed}")
  endif()
  qir_installed_size("${tree}" kib)
  file(READ "${tree}/DEBIAN/control" control)
  string(REGEX REPLACE "\nInstalled-Size: [0-9]+\n" "\nInstalled-Size: ${kib}\n" control "${control}")
  file(WRITE "${tree}/DEBIAN/control" "${control}")
  # dpkg-deb lowers later times to SOURCE_DATE_EPOCH but keeps earlier ones.
  execute_process(COMMAND chmod -R u=rwX,go=rX "${tree}")
  execute_process(COMMAND find "${tree}" -exec touch -h -d "@${epoch}" {} +)
  execute_process(COMMAND dpkg-deb --root-owner-group -Zgzip -z9 --build "${tree}" "${package}.repacked"
                  OUTPUT_QUIET RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "dpkg-deb could not pack ${package} again: ${failed}")
  endif()
  file(REMOVE_RECURSE "${tree}")
  file(RENAME "${package}.repacked" "${package}")
endfunction()

foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(package MATCHES "\\.deb$")
    qir_repack_deb("${package}")
    continue()
  elseif(package MATCHES "\\.tar\\.gz$")
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
