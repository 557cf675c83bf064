# SPDX-License-Identifier: MIT
# Read by cpack for each package it makes: the Debian package installs the
# component `deb` (the game in /usr/games, the gzipped manual page, the
# copyright and changelog files) instead of the plain install layout.
if(CPACK_GENERATOR STREQUAL "DEB")
  string(REPLACE ";game;" ";deb;" CPACK_INSTALL_CMAKE_PROJECTS "${CPACK_INSTALL_CMAKE_PROJECTS}")
endif()
