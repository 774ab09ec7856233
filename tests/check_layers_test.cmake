# cmake/check_layers.cmake on small trees of its own: a tree whose includes
# all run downward passes, and each kind of upward include, planted alone
# into it, stops the check with the file and the include named.
#
#   cmake -DCHECKER=<check_layers.cmake> -DWORK=<empty folder> -P check_layers_test.cmake

cmake_minimum_required(VERSION 3.25)

# Writes the files of a tree that keeps the layers: each "path|line" pair
# becomes a file holding that line.
function(write_tree root)
  file(REMOVE_RECURSE ${root})
  foreach(entry IN LISTS ARGN)
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 path)
    list(GET parts 1 line)
    file(WRITE ${root}/${path} "// a file of the tree\n${line}\n")
  endforeach()
endfunction()

set(layered_tree
    "platform/file.h|#include <string>"
    "platform/file.cpp|#include \"platform/file.h\""
    "engine/world.h|#include \"platform/file.h\""
    "engine/run.h|#include \"engine/world.h\""
    "passes/passes.cpp|#include \"engine/world.h\""
    "writers/writer.h|#include \"engine/world.h\""
    "engine/run.cpp|#include \"writers/writer.h\""
    "cli/main.cpp|#include \"engine/run.h\""
    "ui/Unit1.cpp|#include <QWidget>"
    "ui/Unit1.h|#include \"engine/run.h\""
    "ui/tests/tst.cpp|#include \"tst.moc\""
    "tests/run_test.cpp|#include \"cli/main.h\"")

function(check expect_pass root)
  execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${root} -P ${CHECKER}
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(expect_pass AND NOT result EQUAL 0)
    message(FATAL_ERROR "a tree that keeps the layers was refused:\n${out}")
  endif()
  if(NOT expect_pass)
    if(result EQUAL 0)
      message(FATAL_ERROR "not caught: ${ARGN}")
    endif()
    foreach(words IN LISTS ARGN)
      string(FIND "${out}" "${words}" at)
      if(at EQUAL -1)
        message(FATAL_ERROR "the refusal does not say \"${words}\":\n${out}")
      endif()
    endforeach()
  endif()
endfunction()

write_tree(${WORK}/tree ${layered_tree})
check(TRUE ${WORK}/tree)

# Each planted include, alone, with what the refusal must say.
set(plants
    "platform/file.cpp|#include \"engine/world.h\"|platform/file.cpp: #include \"engine/world.h\" reaches up into engine"
    "engine/world.cpp|#include \"engine/run.h\"|engine/world.cpp: #include \"engine/run.h\" reaches up into run"
    "passes/passes.cpp|#include \"writers/writer.h\"|reaches up into writers (passes may include only platform, engine, passes)"
    "writers/writer.cpp|#include \"passes/passes.h\"|writers/writer.cpp: #include \"passes/passes.h\" reaches up into passes"
    "engine/run.cpp|#include \"cli/main.h\"|engine/run.cpp: #include \"cli/main.h\" reaches up into cli"
    "cli/main.cpp|#include \"ui/Unit1.h\"|cli/main.cpp: #include \"ui/Unit1.h\" reaches up into ui"
    "ui/Unit1.cpp|#include \"cli/main.h\"|ui/Unit1.cpp: #include \"cli/main.h\" reaches up into cli"
    "engine/world.cpp|  #  include <QString>|engine/world.cpp: #include <QString>: engine uses no Qt"
    "engine/world.cpp|#include <writers/writer.h>|engine/world.cpp: #include <writers/writer.h> reaches up into writers"
    "passes/passes.cpp|#include <tests/test_util.h>|passes/passes.cpp: #include <tests/test_util.h> names no layer's header"
    "writers/writer.cpp|#include \"../cli/main.h\"|writers/writer.cpp: #include \"../cli/main.h\" names no layer's header"
    "platform/file.h|#include \"tests/test_util.h\"|platform/file.h: #include \"tests/test_util.h\" names no layer's header")
foreach(plant IN LISTS plants)
  string(REPLACE "|" ";" parts "${plant}")
  list(GET parts 0 path)
  list(GET parts 1 line)
  list(GET parts 2 says)
  write_tree(${WORK}/tree ${layered_tree})
  file(APPEND ${WORK}/tree/${path} "${line}\n")
  check(FALSE ${WORK}/tree "${says}")
endforeach()
file(REMOVE_RECURSE ${WORK}/tree)
