# SPDX-License-Identifier: MIT
# What a player gets from `cmake --install`: the game, its manual page and
# the documents. Nothing of the tests is installed.
#
# The Debian package and the RPM lay the same things out the way their
# systems want games; those rules live in the components `deb` and `rpm`,
# which a plain install leaves out and only the package build asks for (see
# Package.cmake and CPackOptions.cmake).
include(GNUInstallDirs)

# The web page is one folder of static files (cmake/Web.cmake), to serve or
# to open from the disk as it is.
if(EMSCRIPTEN)
  foreach(file IN LISTS QIR_PAGE_FILES)
    get_filename_component(folder ${file} DIRECTORY)
    install(FILES ${QIR_PAGE_DIR}/${file} DESTINATION ./${folder} COMPONENT game)
  endforeach()
  return()
endif()

# Files made for the packages, in the build folder.
set(QIR_PACKAGE_FILES ${PROJECT_BINARY_DIR}/package-files)

# On Windows the game and what a player reads lie side by side in one
# folder, as a player unzips them: the player's guide and the licence with
# the line ends of Windows, and the manual as a page for the browser.
if(WIN32)
  find_program(QIR_MANDOC mandoc)
  if(NOT QIR_MANDOC)
    message(FATAL_ERROR "mandoc is needed to make qir.html, the manual in the Windows zip (apt-get install mandoc)")
  endif()
  configure_file(packaging/windows/README.txt ${QIR_PACKAGE_FILES}/README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(LICENSE ${QIR_PACKAGE_FILES}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  # The footer names the game, not the system that happened to build it.
  add_custom_command(
    OUTPUT ${QIR_PACKAGE_FILES}/qir.html
    COMMAND sh -c "\"$1\" -T html -I \"os=$2\" \"$3\" >\"$4\"" mandoc ${QIR_MANDOC} "Qir ${PROJECT_VERSION}"
            ${PROJECT_SOURCE_DIR}/qir.6 ${QIR_PACKAGE_FILES}/qir.html
    DEPENDS ${PROJECT_SOURCE_DIR}/qir.6
    COMMENT "Writing the manual as qir.html for the Windows zip"
    VERBATIM)
  add_custom_target(qir_package_files ALL DEPENDS ${QIR_PACKAGE_FILES}/qir.html)
  install(TARGETS qir RUNTIME DESTINATION . COMPONENT game)
  install(FILES ${QIR_PACKAGE_FILES}/README.txt ${QIR_PACKAGE_FILES}/LICENSE.txt ${QIR_PACKAGE_FILES}/qir.html
          DESTINATION . COMPONENT game)
  return()
endif()

install(TARGETS qir RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT game)
install(FILES qir.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6 COMPONENT game)
install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT game)

# gzip -9n keeps no name and no time stamp, so the same sources always give
# the same package.
add_custom_command(
  OUTPUT ${QIR_PACKAGE_FILES}/qir.6.gz ${QIR_PACKAGE_FILES}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QIR_PACKAGE_FILES}
  COMMAND sh -c "gzip -9n -c \"$1\" >\"$2\"" gzip ${PROJECT_SOURCE_DIR}/qir.6 ${QIR_PACKAGE_FILES}/qir.6.gz
  COMMAND sh -c "gzip -9n -c \"$1\" >\"$2\"" gzip ${PROJECT_SOURCE_DIR}/packaging/changelog
          ${QIR_PACKAGE_FILES}/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/qir.6 ${PROJECT_SOURCE_DIR}/packaging/changelog
  COMMENT "Compressing the manual page and the changelog for the packages"
  VERBATIM)
add_custom_target(qir_package_files ALL DEPENDS ${QIR_PACKAGE_FILES}/qir.6.gz ${QIR_PACKAGE_FILES}/changelog.gz)

# Debian installs games in /usr/games (the package's prefix is /usr), with
# the licence as its copyright file and the changelog beside it.
install(TARGETS qir RUNTIME DESTINATION games COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${QIR_PACKAGE_FILES}/qir.6.gz DESTINATION share/man/man6 COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES packaging/copyright ${QIR_PACKAGE_FILES}/changelog.gz
        DESTINATION share/doc/qir COMPONENT deb EXCLUDE_FROM_ALL)

# Fedora and its kin keep no /usr/games: the game is /usr/bin/qir, and the
# licence goes where their licences go. The RPM marks the README as
# documentation and the licence as a licence (CPACK_RPM_USER_FILELIST), and
# carries the changelog in its own header.
install(TARGETS qir RUNTIME DESTINATION bin COMPONENT rpm EXCLUDE_FROM_ALL)
install(FILES ${QIR_PACKAGE_FILES}/qir.6.gz DESTINATION share/man/man6 COMPONENT rpm EXCLUDE_FROM_ALL)
install(FILES README.md DESTINATION share/doc/qir COMPONENT rpm EXCLUDE_FROM_ALL)
install(FILES LICENSE DESTINATION share/licenses/qir COMPONENT rpm EXCLUDE_FROM_ALL)
