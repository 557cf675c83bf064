# SPDX-License-Identifier: MIT
# Run by cpack once a package's files are staged, before they are packed:
# every folder is rwxr-xr-x and every file rw-r--r--, or rwxr-xr-x where it
# may be run, whatever the umask of whoever built or checked out the game.
# The packers set the owners and the times themselves.
if(CMAKE_HOST_WIN32)
  return()
endif()
execute_process(COMMAND chmod -R u=rwX,go=rX "${CPACK_TEMPORARY_DIRECTORY}" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "Could not set the modes of the files staged in ${CPACK_TEMPORARY_DIRECTORY}")
endif()
