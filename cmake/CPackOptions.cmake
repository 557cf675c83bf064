# SPDX-License-Identifier: MIT
# Read by cpack for each package it makes.

# Every package stamps its files with one time: SOURCE_DATE_EPOCH as the
# packager sets it for cpack, or else the one chosen when the build was
# configured (the newest entry of packaging/changelog). rpmbuild, started
# by cpack, reads it too.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} ${CPACK_QIR_SOURCE_DATE_EPOCH})
endif()

# The Debian package and the RPM install their own components (the game's
# place, the gzipped manual page, their documents) instead of the plain
# install layout.
if(CPACK_GENERATOR STREQUAL "DEB")
  string(REPLACE ";game;" ";deb;" CPACK_INSTALL_CMAKE_PROJECTS "${CPACK_INSTALL_CMAKE_PROJECTS}")
elseif(CPACK_GENERATOR STREQUAL "RPM")
  string(REPLACE ";game;" ";rpm;" CPACK_INSTALL_CMAKE_PROJECTS "${CPACK_INSTALL_CMAKE_PROJECTS}")
endif()

# The source package holds exactly the files git tracks, as they stand in
# the working tree: no build folder, fuzzer output or editor file can slip
# in. They are copied to a folder of their own, with the modes git gives
# them, and packed from there.
if(CPACK_PACKAGE_FILE_NAME MATCHES "-Source$")
  include(${CPACK_QIR_SOURCE_DIR}/cmake/SourceTree.cmake)
  qir_stage_source_tree(${CPACK_QIR_SOURCE_DIR} ${CPACK_QIR_BINARY_DIR}/source-tree)
  set(CPACK_INSTALLED_DIRECTORIES "${CPACK_QIR_BINARY_DIR}/source-tree;/")
endif()
