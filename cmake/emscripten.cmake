# SPDX-License-Identifier: MIT
# Building the game as a web page with Emscripten (apt-get install
# emscripten): the preset `web` uses it. Emscripten's own toolchain file lies
# beside its compiler, wherever that was installed.
find_program(QIR_EMCC emcc REQUIRED)
file(REAL_PATH ${QIR_EMCC} _qir_emcc)
get_filename_component(_qir_emscripten_root ${_qir_emcc} DIRECTORY)
include(${_qir_emscripten_root}/cmake/Modules/Platform/Emscripten.cmake)

# Debian's Emscripten runs its JavaScript tools with the first node on the
# PATH, which finds Debian's modules for them (acorn) only through
# NODE_PATH when it is not Debian's own node; every compile and link is
# given it, whoever starts the build.
if(EXISTS /usr/share/nodejs/acorn)
  set(_qir_node_path /usr/share/nodejs)
  if(DEFINED ENV{NODE_PATH})
    string(PREPEND _qir_node_path "$ENV{NODE_PATH}:")
  endif()
  set(CMAKE_CXX_COMPILER_LAUNCHER env NODE_PATH=${_qir_node_path})
  set(CMAKE_CXX_LINKER_LAUNCHER env NODE_PATH=${_qir_node_path})
endif()

# The page carries the game to every player over the network: its release
# build is made small rather than fast, which saves a tenth of the page and
# leaves the game far quicker than any player.
set(CMAKE_CXX_FLAGS_RELEASE "-Oz -DNDEBUG" CACHE STRING "Flags of the page's release build")
