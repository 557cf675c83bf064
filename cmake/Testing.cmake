# SPDX-License-Identifier: MIT
# Whether to build the tests (the standard BUILD_TESTING switch).
#
# A player who only wants the game should get it without GoogleTest: when
# nobody chose, the tests are built exactly when GoogleTest is there. Whoever
# asks for the tests (-DBUILD_TESTING=ON, or the presets) gets an error
# instead of a build that silently tests nothing.
set(_qir_gtest_hint "apt-get install libgtest-dev, or run bash scripts/test")

# Our own choice is remembered, so a later run still knows that nobody chose;
# a value that differs from it was set by the user.
if(NOT DEFINED BUILD_TESTING OR
   (DEFINED CACHE{QIR_TESTING_CHOSEN_BY_DEFAULT} AND BUILD_TESTING STREQUAL "${QIR_TESTING_CHOSEN_BY_DEFAULT}"))
  find_package(GTest QUIET)
  if(GTest_FOUND)
    set(_qir_testing ON)
  else()
    set(_qir_testing OFF)
    message(STATUS "GoogleTest not found: building the game without its tests (to get them: ${_qir_gtest_hint})")
  endif()
  set(BUILD_TESTING ${_qir_testing} CACHE BOOL "Build the tests" FORCE)
  set(QIR_TESTING_CHOSEN_BY_DEFAULT ${_qir_testing} CACHE INTERNAL "BUILD_TESTING as chosen without the user")
else()
  unset(QIR_TESTING_CHOSEN_BY_DEFAULT CACHE)
  if(BUILD_TESTING)
    find_package(GTest QUIET)
    if(NOT GTest_FOUND)
      message(FATAL_ERROR "BUILD_TESTING is ON but GoogleTest was not found (${_qir_gtest_hint}), "
                          "or configure with -DBUILD_TESTING=OFF to build only the game")
    endif()
  endif()
endif()

include(CTest)
