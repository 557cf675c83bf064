# SPDX-License-Identifier: MIT
# Run by cpack once a package's files are staged, before they are packed:
# every folder is rwxr-xr-x and every file rw-r--r--, or rwxr-xr-x where it
# may be run, whatever the umask of whoever built or checked out the game;
# and every file and folder carries the time SOURCE_DATE_EPOCH gives, whether
# it was made before that time (a file as git checked it out) or after (one
# the build made). The packers set the owners themselves.
if(CMAKE_HOST_WIN32)
  return()
endif()
execute_process(COMMAND chmod -R u=rwX,go=rX "${CPACK_TEMPORARY_DIRECTORY}" RESULT_VARIABLE failed)
if(NOT failed)
  execute_process(COMMAND find "${CPACK_TEMPORARY_DIRECTORY}" -exec touch -h -d "@$ENV{SOURCE_DATE_EPOCH}" {} +
                  RESULT_VARIABLE failed)
endif()
if(failed)
  message(FATAL_ERROR "Could not set the modes and times of the files staged in ${CPACK_TEMPORARY_DIRECTORY}")
endif()
