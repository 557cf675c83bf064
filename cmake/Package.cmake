# SPDX-License-Identifier: MIT
# Packages of the game (run cpack in the build folder): a Debian package laid
# out as Debian wants games, and a .tar.gz with the plain install layout.
# For Windows a .zip (qir-X.Y.Z-win64.zip) of the Windows install layout, and
# for the web a .zip (qir-X.Y.Z-web.zip) of the page's folder.
if(EMSCRIPTEN)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME web)
elseif(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB TGZ)
endif()
set(CPACK_PACKAGE_NAME qir)
set(CPACK_PACKAGE_VENDOR "The Qir developers")
set(CPACK_PACKAGE_CONTACT "Qir developers <qir@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn-based strategy game against the computer in a terminal")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
# The .tar.gz holds what a plain `cmake --install` gives, nothing of the
# Debian layout.
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};qir;game;/")

set(CPACK_DEBIAN_PACKAGE_NAME qir)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Qir developers <qir@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The long description; cpack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Qir is a game of strategy for one player against the computer, played by
answering questions with one key at a time. Each side receives units of a
random Power and places them as Bases, Defenders or Attackers. Round after
round both sides attack and defend; in a fight the stronger unit survives,
and an attacker nobody stops destroys a Base. Whoever loses the last Base
loses the game.
.
Two computer opponents are on offer: Dravik follows a fixed routine, while
Quelby weighs the units of both sides before every decision.")

set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/CPackOptions.cmake)
include(CPack)
