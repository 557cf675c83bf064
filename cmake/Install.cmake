# SPDX-License-Identifier: MIT
# What a player gets from `cmake --install`: the game, its manual page and
# the documents. Nothing of the tests is installed.
#
# The Debian package lays the same things out the way Debian wants games
# (/usr/games, a gzipped manual page, copyright and changelog files); those
# rules live in the component `deb`, which a plain install leaves out and
# only the package build asks for (see Package.cmake).
include(GNUInstallDirs)

# The web page is one folder of static files (cmake/Web.cmake), to serve or
# to open from the disk as it is.
if(EMSCRIPTEN)
  install(DIRECTORY ${QIR_PAGE_DIR}/ DESTINATION . COMPONENT game)
  return()
endif()

# On Windows the game, the README and the licence lie side by side in one
# folder, as a player unzips them; there is no manual page to read there.
if(WIN32)
  install(TARGETS qir RUNTIME DESTINATION . COMPONENT game)
  install(FILES README.md LICENSE DESTINATION . COMPONENT game)
  return()
endif()

install(TARGETS qir RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT game)
install(FILES qir.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6 COMPONENT game)
install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT game)

# The Debian files, made in the build folder: gzip -9n keeps no name and no
# time stamp, so the same sources always give the same package.
set(QIR_DEB_DIR ${PROJECT_BINARY_DIR}/deb)
configure_file(packaging/changelog.in ${QIR_DEB_DIR}/changelog @ONLY)
configure_file(packaging/copyright ${QIR_DEB_DIR}/copyright COPYONLY)
add_custom_command(
  OUTPUT ${QIR_DEB_DIR}/qir.6.gz ${QIR_DEB_DIR}/changelog.gz
  COMMAND sh -c "gzip -9n -c \"$1\" >\"$2\"" gzip ${PROJECT_SOURCE_DIR}/qir.6 ${QIR_DEB_DIR}/qir.6.gz
  COMMAND sh -c "gzip -9n -c \"$1\" >\"$2\"" gzip ${QIR_DEB_DIR}/changelog ${QIR_DEB_DIR}/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/qir.6 ${QIR_DEB_DIR}/changelog
  COMMENT "Compressing the manual page and the changelog for the Debian package"
  VERBATIM)
add_custom_target(qir_deb_files ALL DEPENDS ${QIR_DEB_DIR}/qir.6.gz ${QIR_DEB_DIR}/changelog.gz)

# Debian installs games in /usr/games (the package's prefix is /usr).
install(TARGETS qir RUNTIME DESTINATION games COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${QIR_DEB_DIR}/qir.6.gz DESTINATION share/man/man6 COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${QIR_DEB_DIR}/copyright ${QIR_DEB_DIR}/changelog.gz
        DESTINATION share/doc/qir COMPONENT deb EXCLUDE_FROM_ALL)
