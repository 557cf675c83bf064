# SPDX-License-Identifier: MIT
# The game as a web page (preset web): qir.js holds the game compiled to
# WebAssembly, and beside it lie the page (web/), the terminal emulator
# xterm.js with its licences, a player's guide (README.txt) and the
# LICENSE. All of it is in ${QIR_PAGE_DIR}, which plays from any static web
# server or straight from the disk.
set(QIR_PAGE_DIR ${PROJECT_BINARY_DIR}/page)

# ASYNCIFY lets the game's blocking read wait for the page's keys without any
# special server headers; SINGLE_FILE carries the WebAssembly inside qir.js,
# since a browser fetches no .wasm file from a page opened from the disk.
# Each game is a fresh instance of the module (createQir), as a new process.
target_link_options(qir PRIVATE
  -sASYNCIFY -sASYNCIFY_STACK_SIZE=16384
  -sSINGLE_FILE -sENVIRONMENT=web
  -sMODULARIZE -sEXPORT_NAME=createQir
  -sINVOKE_RUN=0 -sEXIT_RUNTIME -sEXPORTED_RUNTIME_METHODS=callMain,FS
  -sALLOW_MEMORY_GROWTH
  --post-js ${PROJECT_SOURCE_DIR}/web/runGame.js)
set_property(TARGET qir APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/web/runGame.js)
set_target_properties(qir PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QIR_PAGE_DIR})

# xterm.js and fflate, as the lock file pins them, from npm's cache when they are there.
find_program(QIR_NPM npm REQUIRED)
set(_qir_npm_dir ${PROJECT_BINARY_DIR}/npm)
file(MAKE_DIRECTORY ${_qir_npm_dir})
set(_qir_xterm ${_qir_npm_dir}/node_modules/@xterm)
set(_qir_fflate ${_qir_npm_dir}/node_modules/fflate)
add_custom_command(
  OUTPUT ${_qir_xterm}/xterm/lib/xterm.js ${_qir_xterm}/addon-fit/lib/addon-fit.js
         ${_qir_xterm}/xterm/css/xterm.css ${_qir_xterm}/xterm/LICENSE ${_qir_xterm}/addon-fit/LICENSE
         ${_qir_fflate}/umd/index.js ${_qir_fflate}/LICENSE
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/web/package.json ${PROJECT_SOURCE_DIR}/web/package-lock.json
          ${_qir_npm_dir}
  COMMAND ${QIR_NPM} ci --prefer-offline --ignore-scripts --no-audit --no-fund --loglevel=error
  WORKING_DIRECTORY ${_qir_npm_dir}
  DEPENDS ${PROJECT_SOURCE_DIR}/web/package.json ${PROJECT_SOURCE_DIR}/web/package-lock.json
  COMMENT "Installing xterm.js and fflate from web/package-lock.json"
  VERBATIM)

# Each file of the page and where it comes from.
set(_qir_page_files
  index.html ${PROJECT_SOURCE_DIR}/web/index.html
  page.js ${PROJECT_SOURCE_DIR}/web/page.js
  board.js ${PROJECT_SOURCE_DIR}/web/board.js
  speech.js ${PROJECT_SOURCE_DIR}/web/speech.js
  page.css ${PROJECT_SOURCE_DIR}/web/page.css
  keep.js ${PROJECT_SOURCE_DIR}/web/keep.js
  share.js ${PROJECT_SOURCE_DIR}/web/share.js
  sw.js ${PROJECT_SOURCE_DIR}/web/sw.js
  manifest.webmanifest ${PROJECT_SOURCE_DIR}/web/manifest.webmanifest
  LICENSE ${PROJECT_SOURCE_DIR}/LICENSE
  xterm/xterm.js ${_qir_xterm}/xterm/lib/xterm.js
  xterm/xterm.css ${_qir_xterm}/xterm/css/xterm.css
  xterm/addon-fit.js ${_qir_xterm}/addon-fit/lib/addon-fit.js
  xterm/LICENSE ${_qir_xterm}/xterm/LICENSE
  xterm/LICENSE-addon-fit ${_qir_xterm}/addon-fit/LICENSE
  fflate/fflate.js ${_qir_fflate}/umd/index.js
  fflate/LICENSE ${_qir_fflate}/LICENSE)
set(_qir_page_outputs)
# What the page's zip holds, by its place in the page's folder: these files,
# the game and the guide, and nothing an earlier build may have left there.
set(QIR_PAGE_FILES qir.js README.txt)
while(_qir_page_files)
  list(POP_FRONT _qir_page_files _to _from)
  list(APPEND QIR_PAGE_FILES ${_to})
  add_custom_command(
    OUTPUT ${QIR_PAGE_DIR}/${_to}
    COMMAND ${CMAKE_COMMAND} -E copy ${_from} ${QIR_PAGE_DIR}/${_to}
    DEPENDS ${_from}
    VERBATIM)
  list(APPEND _qir_page_outputs ${QIR_PAGE_DIR}/${_to})
endwhile()
# The icons an installed page shows, drawn by a script of ours.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
foreach(_size 192 512)
  list(APPEND QIR_PAGE_FILES icon-${_size}.png)
  add_custom_command(
    OUTPUT ${QIR_PAGE_DIR}/icon-${_size}.png
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/web/icon.py ${_size} ${QIR_PAGE_DIR}/icon-${_size}.png
    DEPENDS ${PROJECT_SOURCE_DIR}/web/icon.py
    VERBATIM)
  list(APPEND _qir_page_outputs ${QIR_PAGE_DIR}/icon-${_size}.png)
endforeach()
# A player's guide to the page, not the contributors' notes.
configure_file(packaging/web/README.txt ${QIR_PAGE_DIR}/README.txt @ONLY)
add_custom_target(qir_page ALL DEPENDS ${_qir_page_outputs})
