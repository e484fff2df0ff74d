# Helpers shared by the targets.

# A shared object named exactly as the system expects it, e.g. cdr.dll or
# rondel.qom, placed under build/bin (or a sub-folder of it).
function(rondel_named_module target file_name)
  cmake_parse_arguments(ARG "" "SUBDIR" "" ${ARGN})
  get_filename_component(base ${file_name} NAME_WE)
  get_filename_component(ext ${file_name} LAST_EXT)
  set(dir ${RONDEL_BIN_DIR})
  if(ARG_SUBDIR)
    set(dir ${RONDEL_BIN_DIR}/${ARG_SUBDIR})
  endif()
  set_target_properties(${target} PROPERTIES
    PREFIX "" OUTPUT_NAME ${base} SUFFIX ${ext}
    LIBRARY_OUTPUT_DIRECTORY ${dir})
  target_link_options(${target} PRIVATE -Wl,--no-undefined)
endfunction()

# Turns binary files into a C++ source that defines one byte array per file:
#   rondel_embed(OUTPUT out.cpp NAMESPACE ns FILES a.png b.png)
# defines ns::k<stem>[] and ns::k<stem>Size for each file (stem with
# non-alphanumerics removed).
function(rondel_embed)
  cmake_parse_arguments(ARG "" "OUTPUT;NAMESPACE" "FILES" ${ARGN})
  string(REPLACE ";" "|" files "${ARG_FILES}")
  add_custom_command(OUTPUT ${ARG_OUTPUT}
    COMMAND ${CMAKE_COMMAND} -DOUTPUT=${ARG_OUTPUT} -DNAMESPACE=${ARG_NAMESPACE}
            -DFILES=${files} -P ${PROJECT_SOURCE_DIR}/cmake/embed.cmake
    DEPENDS ${ARG_FILES} ${PROJECT_SOURCE_DIR}/cmake/embed.cmake
    COMMENT "Embedding ${ARG_NAMESPACE} resources" VERBATIM)
endfunction()
