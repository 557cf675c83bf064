# SPDX-License-Identifier: MIT
# Building the game as a web page with Emscripten (apt-get install
# emscripten): the preset `web` uses it. Emscripten's own toolchain file lies
# beside its compiler, wherever that was installed.
find_program(QIR_EMCC emcc REQUIRED)
file(REAL_PATH ${QIR_EMCC} _qir_emcc)
get_filename_component(_qir_emscripten_root ${_qir_emcc} DIRECTORY)
include(${_qir_emscripten_root}/cmake/Modules/Platform/Emscripten.cmake)
