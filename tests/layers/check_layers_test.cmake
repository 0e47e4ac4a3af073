# The layer check on small trees made for it: each case puts one include in
# a file under src/ beside a tools/ and a tests/ header, and the check must
# refuse exactly the includes that reach above src/. Last, the real tree
# must pass.
#   cmake -DCORVEL_SOURCE=DIR -DWORK=DIR -P check_layers_test.cmake

set(check ${CORVEL_SOURCE}/cmake/CheckLayers.cmake)
# name | file under src/ | its include | refused?
set(cases
  "tool header by name|src/links/Bridge.cpp|MeterSim.h|1"
  "tool header by relative path|src/links/Bridge.cpp|../../tools/meter_sim/MeterSim.h|1"
  "tool header from a header|src/links/Bridge.h|MeterSim.h|1"
  "test support header|src/shell/Window.cpp|support/FakeHid.h|1"
  "own subsystem header|src/links/Bridge.cpp|links/Bridge.h|0"
  "header beside the file|src/links/Bridge.cpp|Bridge.h|0"
  "lower layer|src/links/Bridge.cpp|sim/MeterFrames.h|0"
  "system or generated header|src/shell/Window.cpp|Assets.h|0")
set(failures 0)
foreach(c IN LISTS cases)
  string(REPLACE "|" ";" c "${c}")
  list(GET c 0 name)
  list(GET c 1 file)
  list(GET c 2 include)
  list(GET c 3 refused)
  set(tree ${WORK}/layers-tree)
  file(REMOVE_RECURSE ${tree})
  file(WRITE ${tree}/tools/meter_sim/MeterSim.h "")
  file(WRITE ${tree}/tests/support/FakeHid.h "")
  file(WRITE ${tree}/src/links/Bridge.h "")
  file(WRITE ${tree}/src/sim/MeterFrames.h "")
  file(APPEND ${tree}/${file} "#include \"${include}\"\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -DCORVEL_TREE=${tree} -P ${check}
                  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
  if(rc EQUAL 0)
    set(got 0)
  else()
    set(got 1)
  endif()
  if(NOT got EQUAL refused)
    message(SEND_ERROR "${name}: #include \"${include}\" in ${file}: refused=${got}, expected ${refused}\n${err}")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK}/layers-tree)

execute_process(COMMAND ${CMAKE_COMMAND} -DCORVEL_TREE=${CORVEL_SOURCE} -P ${check}
                RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(SEND_ERROR "the source tree itself:\n${err}")
endif()
