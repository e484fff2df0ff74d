# The one-way roads between the component's folders, checked over the
# #include lines of the sources (cmake -P). A folder may include headers of
# its own and of lower levels only:
#   RONDEL_LAYERS = "drive net|rip|metadata output|ui|shell" (bottom to top,
#   folders of one level separated by spaces; shell wires everything).
# drivers/, encoders/, platform/ and sdk/ include nothing from rondel/: the
# libraries, and what the component itself stands on, know only sdk/.
#
# Variables: ROOT (the source tree), RONDEL_LAYERS, ENFORCE (ON fails on a
# wrong-way include; OFF only lists them).

if(NOT ROOT OR NOT RONDEL_LAYERS)
  message(FATAL_ERROR "check_layers.cmake needs ROOT and RONDEL_LAYERS")
endif()

# The level of each rondel folder.
string(REPLACE "|" ";" RONDEL_LAYERS "${RONDEL_LAYERS}")
set(level 0)
set(folders "")
foreach(group IN LISTS RONDEL_LAYERS)
  string(REPLACE " " ";" members "${group}")
  foreach(folder IN LISTS members)
    set(level_${folder} ${level})
    list(APPEND folders ${folder})
  endforeach()
  math(EXPR level "${level} + 1")
endforeach()
string(REPLACE ";" " < " layers_text "${RONDEL_LAYERS}")

set(violations "")
# Appends "file:line: what (rule)" to `violations` for every
# #include "rondel/<folder>/..." line of `file` that goes the wrong way: any
# at all when `from_level` is empty, else one of a folder other than
# `from_folder` that is not on a lower level.
function(scan_file file rule from_level from_folder)
  file(STRINGS "${file}" hits REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]rondel/")
  if(NOT hits)
    return()
  endif()
  # Line numbers: split the text at its line ends by hand, with every
  # character that means something to a CMake list made harmless first.
  file(READ "${file}" text)
  string(REGEX REPLACE "[][;\\\\]" "_" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  file(RELATIVE_PATH shown "${ROOT}" "${file}")
  set(number 0)
  set(found "")
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*[\"<]rondel/([^/\">]+)")
      continue()
    endif()
    set(target "${CMAKE_MATCH_1}")
    if(from_level STREQUAL "")
      list(APPEND found "${shown}:${number}: includes rondel/${target}/ (${rule})")
    elseif(NOT DEFINED level_${target})
      list(APPEND found "${shown}:${number}: includes rondel/${target}/, a folder without a level")
    elseif(NOT target STREQUAL from_folder AND NOT level_${target} LESS from_level)
      if(level_${target} EQUAL from_level)
        set(why "same level")
      else()
        set(why "a higher level")
      endif()
      list(APPEND found "${shown}:${number}: rondel/${from_folder}/ includes rondel/${target}/ (${why})")
    endif()
  endforeach()
  set(violations ${violations} ${found} PARENT_SCOPE)
endfunction()

foreach(folder IN LISTS folders)
  file(GLOB_RECURSE sources "${ROOT}/rondel/${folder}/*.h" "${ROOT}/rondel/${folder}/*.cpp")
  list(SORT sources)
  foreach(source IN LISTS sources)
    scan_file("${source}" "" "${level_${folder}}" "${folder}")
  endforeach()
endforeach()
foreach(base drivers encoders platform sdk)
  file(GLOB_RECURSE sources "${ROOT}/${base}/*.h" "${ROOT}/${base}/*.c" "${ROOT}/${base}/*.cpp")
  list(SORT sources)
  foreach(source IN LISTS sources)
    scan_file("${source}" "${base}/ includes nothing from rondel/" "" "")
  endforeach()
endforeach()

if(violations)
  list(LENGTH violations count)
  string(REPLACE ";" "\n  " text "${violations}")
  if(ENFORCE)
    message(FATAL_ERROR "layer check failed: ${count} wrong-way include(s); a rondel folder "
                        "includes only its own and lower levels (${layers_text}):\n  ${text}")
  endif()
  message(NOTICE "layer check (not enforced, RONDEL_CHECK_LAYERS is OFF): ${count} wrong-way "
                 "include(s); levels ${layers_text}:\n  ${text}")
endif()
