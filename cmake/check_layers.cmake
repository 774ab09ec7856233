# Stops the build at an include that runs up the layers. Each layer may
# include its own headers and those of the layers below it:
#
#   platform <- engine <- passes, writers <- run (engine/run.*) <- cli, ui
#
# The engine and everything above it up to the run use the standard library
# and the platform layer only, never Qt. Headers are named from the top of
# the tree ("engine/world.h"); any other quoted include of a layer's file is
# refused too, as its layer could not be told. Tests, tools, benchmarks and
# fuzz targets may include anything.
#
#   cmake -DSOURCE_DIR=<top of the tree> [-DSTAMP=<file to touch>] -P check_layers.cmake

cmake_minimum_required(VERSION 3.25)

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "check_layers.cmake: SOURCE_DIR is not set")
endif()

set(below_platform platform)
set(below_engine platform engine)
set(below_passes platform engine passes)
set(below_writers platform engine writers)
set(below_run platform engine passes writers run)
set(below_cli platform engine passes writers run cli)
set(below_ui platform engine passes writers run ui)
set(qt_free platform engine passes writers run)

# The layer that the file `path` (from the top of the tree) belongs to, or
# "" for a file of no layer.
function(layer_of path out)
  set(layer "")
  if(path MATCHES "^engine/run\\.(h|cpp)$")
    set(layer run)
  elseif(path MATCHES "^ui/tests/")
    set(layer "")
  elseif(path MATCHES "^(platform|engine|passes|writers|cli|ui)/")
    set(layer ${CMAKE_MATCH_1})
  endif()
  set(${out} "${layer}" PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR}
     ${SOURCE_DIR}/platform/*.h ${SOURCE_DIR}/platform/*.cpp
     ${SOURCE_DIR}/engine/*.h ${SOURCE_DIR}/engine/*.cpp
     ${SOURCE_DIR}/passes/*.h ${SOURCE_DIR}/passes/*.cpp
     ${SOURCE_DIR}/writers/*.h ${SOURCE_DIR}/writers/*.cpp
     ${SOURCE_DIR}/cli/*.h ${SOURCE_DIR}/cli/*.cpp
     ${SOURCE_DIR}/ui/*.h ${SOURCE_DIR}/ui/*.cpp)

set(faults "")
foreach(file IN LISTS files)
  layer_of(${file} layer)
  if("${layer}" STREQUAL "")
    continue()
  endif()
  file(STRINGS ${SOURCE_DIR}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
  foreach(line IN LISTS includes)
    set(header "")
    if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
      set(header ${CMAKE_MATCH_1})
      set(shown "\"${header}\"")
    elseif(line MATCHES "#[ \t]*include[ \t]*<((platform|engine|passes|writers|cli|ui|tests|tools|bench|fuzz)/[^>]+)>")
      # The top of the tree is on the include path, so our headers are found
      # between angle brackets too.
      set(header ${CMAKE_MATCH_1})
      set(shown "<${header}>")
    endif()
    if(NOT header STREQUAL "")
      layer_of(${header} header_layer)
      if("${header_layer}" STREQUAL "")
        string(APPEND faults "  ${file}: #include ${shown} names no layer's header (name it from the top of the tree)\n")
      elseif(NOT header_layer IN_LIST below_${layer})
        list(JOIN below_${layer} ", " allowed)
        string(APPEND faults "  ${file}: #include ${shown} reaches up into ${header_layer} (${layer} may include only ${allowed})\n")
      endif()
    elseif(layer IN_LIST qt_free AND line MATCHES "#[ \t]*include[ \t]*<(Q[A-Za-z]*(/[^>]*)?)>")
      string(APPEND faults "  ${file}: #include <${CMAKE_MATCH_1}>: ${layer} uses no Qt\n")
    endif()
  endforeach()
endforeach()

if(NOT faults STREQUAL "")
  message(FATAL_ERROR "An include runs up the layers (platform <- engine <- passes, writers <- "
                      "run <- cli, ui):\n${faults}")
endif()
if(STAMP)
  file(TOUCH ${STAMP})
endif()
