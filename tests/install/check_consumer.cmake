# SPDX-License-Identifier: MIT
# Builds and runs the consumer project both ways. Invoked by ctest with
# -DLUMO_SOURCE_DIR, -DLUMO_BINARY_DIR and -DWORK_DIR.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

function(run_step)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "step failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
endfunction()

set(consumer ${LUMO_SOURCE_DIR}/tests/install/consumer)

# 1. find_package after cmake --install (the development files need the
# platform library of the "demos" component, as lumo-dev needs lumo-demos)
run_step(${CMAKE_COMMAND} --install ${LUMO_BINARY_DIR} --component lumo_dev --prefix ${WORK_DIR}/prefix)
run_step(${CMAKE_COMMAND} --install ${LUMO_BINARY_DIR} --component demos --prefix ${WORK_DIR}/prefix)
run_step(${CMAKE_COMMAND} -S ${consumer} -B ${WORK_DIR}/installed -G Ninja
  -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix -DCMAKE_BUILD_TYPE=Release)
run_step(${CMAKE_COMMAND} --build ${WORK_DIR}/installed)
run_step(${WORK_DIR}/installed/consumer)

# 2. add_subdirectory of the source tree
run_step(${CMAKE_COMMAND} -S ${consumer} -B ${WORK_DIR}/subdir -G Ninja
  -DLUMO_SOURCE_DIR=${LUMO_SOURCE_DIR} -DCMAKE_BUILD_TYPE=Release)
run_step(${CMAKE_COMMAND} --build ${WORK_DIR}/subdir --target consumer)
run_step(${WORK_DIR}/subdir/consumer)
