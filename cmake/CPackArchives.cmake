# SPDX-License-Identifier: MIT
# Run by cpack once it has made a package. cpack packs a .tar.gz or a .zip
# in the order the file system lists the staged files, and with their owner
# on the building machine; such an archive is packed again here from the
# same staged files, in the order of their names, every entry owned by root
# and stamped with SOURCE_DATE_EPOCH (set by CPackOptions.cmake). The .deb
# comes out that way but for the modes of its three members, which follow
# the umask of the build: they are set to rw-r--r--, as dpkg-deb sets them.
# The .rpm comes out right from rpmbuild.
set(staged "${CPACK_TEMPORARY_DIRECTORY}")
get_filename_component(top "${staged}" NAME)
get_filename_component(parent "${staged}" DIRECTORY)
set(epoch "$ENV{SOURCE_DATE_EPOCH}")

# An ar archive's member headers: name, time, owner, group, mode (8 bytes
# at offset 40), size (10 at 48) and a closing "`\n"; each member starts at
# an even offset.
set(deb_member_modes [=[
  my ($magic, $header, $at) = ("", "", 8);
  open(my $deb, "+<:raw", $ARGV[0]) or die "$ARGV[0]: $!\n";
  read($deb, $magic, 8) == 8 && $magic eq "!<arch>\n" or die "$ARGV[0] is no ar archive\n";
  while (read($deb, $header, 60) == 60) {
    substr($header, 58, 2) eq "`\n" or die "$ARGV[0]: no member header at $at\n";
    my $size = substr($header, 48, 10) + 0;
    seek($deb, $at + 40, 0);
    print $deb sprintf("%-8s", "100644");
    $at += 60 + $size + $size % 2;
    seek($deb, $at, 0);
  }
  close($deb) or die "$ARGV[0]: $!\n";
]=])

foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(package MATCHES "\\.deb$")
    execute_process(COMMAND perl -e "${deb_member_modes}" "${package}" RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "Could not set the modes of the members of ${package}: ${failed}")
    endif()
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
