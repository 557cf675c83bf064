# SPDX-License-Identifier: MIT
# Packages of the game (run cpack in the build folder): a Debian package laid
# out as Debian wants games, an RPM laid out as Fedora wants them (where
# rpmbuild is installed), and a .tar.gz with the plain install layout. For
# Windows a .zip (qir-X.Y.Z-win64.zip) of the Windows install layout, and for
# the web a .zip (qir-X.Y.Z-web.zip) of the page's folder. The source
# package (cpack --config CPackSourceConfig.cmake) holds exactly the files
# git tracks.
#
# The same commit gives the same packages, byte for byte, wherever and
# whenever they are built: every file carries the time of the newest entry
# of packaging/changelog (or SOURCE_DATE_EPOCH where the packager sets it),
# owners, modes and order are fixed (CPackModes.cmake, CPackArchives.cmake),
# and nothing of the build folder reaches the program (CMakeLists.txt).
include(${CMAKE_CURRENT_LIST_DIR}/Changelog.cmake)
set(QIR_RPM_RELEASE 1)
qir_read_changelog(${PROJECT_SOURCE_DIR}/packaging/changelog ${QIR_RPM_RELEASE} QIR_CHANGELOG)
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(CPACK_QIR_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  set(CPACK_QIR_SOURCE_DATE_EPOCH ${QIR_CHANGELOG_EPOCH})
endif()
set(CPACK_QIR_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_QIR_BINARY_DIR ${PROJECT_BINARY_DIR})

if(EMSCRIPTEN)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME web)
elseif(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB TGZ)
  find_program(QIR_RPMBUILD rpmbuild)
  if(QIR_RPMBUILD)
    list(APPEND CPACK_GENERATOR RPM)
  endif()
endif()
set(CPACK_PACKAGE_NAME qir)
set(CPACK_PACKAGE_VENDOR "The Qir developers")
set(CPACK_PACKAGE_CONTACT "Qir developers <qir@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn-based strategy game against the computer in a terminal")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
# The .tar.gz holds what a plain `cmake --install` gives, nothing of the
# Debian or RPM layout.
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};qir;game;/")
# Every file and folder's mode, set once the files are staged; and what
# cpack leaves to the machine in a .deb, .tar.gz or .zip, fixed once packed.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/CPackModes.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/CPackArchives.cmake)

# What the game is, for both Linux packages; Debian marks a new paragraph
# with a lone ".", RPM with an empty line.
set(QIR_DESCRIPTION "Qir is a game of strategy for one player against the computer, played by
answering questions with one key at a time. Each side receives units of a
random Power and places them as Bases, Defenders or Attackers. Round after
round both sides attack and defend; in a fight the stronger unit survives,
and an attacker nobody stops destroys a Base. Whoever loses the last Base
loses the game.
.
Two computer opponents are on offer: Dravik follows a fixed routine, while
Quelby weighs the units of both sides before every decision.")

set(CPACK_DEBIAN_PACKAGE_NAME qir)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Qir developers <qir@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The long description; cpack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${QIR_DESCRIPTION}")

set(CPACK_RPM_PACKAGE_NAME qir)
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RPM_PACKAGE_RELEASE ${QIR_RPM_RELEASE})
set(CPACK_RPM_PACKAGE_LICENSE MIT)
set(CPACK_RPM_PACKAGE_GROUP "Amusements/Games")
# Installed where the package says, as Fedora wants, not under a prefix of
# the installer's choosing.
set(CPACK_PACKAGE_RELOCATABLE OFF)
set(CPACK_RPM_PACKAGE_SUMMARY "Turn-based strategy game against the computer in a terminal")
string(REPLACE "\n.\n" "\n\n" CPACK_RPM_PACKAGE_DESCRIPTION "${QIR_DESCRIPTION}")
set(CPACK_RPM_USER_FILELIST "%doc /usr/share/doc/qir/README.md" "%license /usr/share/licenses/qir/LICENSE")
# The folders of the game's own documents belong to the package; the
# system's folders above them do not.
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION /usr/share/licenses /usr/share/man /usr/share/man/man6)
set(QIR_RPM_CHANGELOG ${PROJECT_BINARY_DIR}/package-files/rpm-changelog)
file(WRITE ${QIR_RPM_CHANGELOG} "${QIR_CHANGELOG_RPM}")
set(CPACK_RPM_CHANGELOG_FILE ${QIR_RPM_CHANGELOG})
# The build time and host in the RPM's header, and the times of its files,
# are those of the changelog rather than of the build. No debugging package
# is made, so the program needs no link under /usr/lib/.build-id. rpmbuild's
# own finishing steps are left out: cpack has stripped the program already,
# and stripping it again would give it the time of the build.
set(CPACK_RPM_SPEC_MORE_DEFINE "%define use_source_date_epoch_as_buildtime 1
%define clamp_mtime_to_source_date_epoch 1
%define _buildhost reproducible
%define _build_id_links none
%define __os_install_post %{nil}
%define packager ${CPACK_PACKAGE_CONTACT}")

set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_PACKAGE_FILE_NAME qir-${PROJECT_VERSION}-Source)

set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/CPackOptions.cmake)
include(CPack)
