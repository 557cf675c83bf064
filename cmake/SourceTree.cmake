# SPDX-License-Identifier: MIT
# qir_stage_source_tree(SOURCE_DIR DEST): copies the files git tracks in
# SOURCE_DIR, as they stand in the working tree, to the empty folder DEST,
# each readable by all and executable where git says so, whatever the umask
# of the checkout. Read by cpack for the source package.
function(qir_stage_source_tree source dest)
  find_program(QIR_GIT git)
  if(NOT QIR_GIT OR NOT EXISTS ${source}/.git)
    message(FATAL_ERROR "The source package is made from a git checkout, with git installed: "
                        "it holds exactly the files git tracks, and ${source} is none")
  endif()
  execute_process(COMMAND ${QIR_GIT} -C ${source} -c core.quotePath=false ls-files --stage
                  OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "git ls-files failed in ${source}")
  endif()
  file(REMOVE_RECURSE ${dest})
  string(REPLACE "\n" ";" entries "${listing}")
  foreach(entry IN LISTS entries)
    if(entry STREQUAL "")
      continue()
    endif()
    # "100644 <object> 0<TAB>path"; git quotes a path it cannot show as it is.
    if(NOT entry MATCHES "^(100644|100755) [0-9a-f]+ 0\t([^\"].*)$")
      message(FATAL_ERROR "The source package takes plain files with plain names only, not: ${entry}")
    endif()
    set(path ${CMAKE_MATCH_2})
    if(CMAKE_MATCH_1 STREQUAL "100755")
      set(modes OWNER_EXECUTE GROUP_EXECUTE WORLD_EXECUTE)
    else()
      set(modes "")
    endif()
    if(NOT EXISTS ${source}/${path})
      message(FATAL_ERROR "${path} is tracked by git but missing from ${source}")
    endif()
    get_filename_component(folder ${dest}/${path} DIRECTORY)
    file(MAKE_DIRECTORY ${folder})
    file(COPY_FILE ${source}/${path} ${dest}/${path})
    file(CHMOD ${dest}/${path} FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ ${modes})
  endforeach()
endfunction()
