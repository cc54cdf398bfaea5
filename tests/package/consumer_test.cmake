# Installs Quorlane into a staging prefix of the build tree, then configures, builds and runs
# the embedding example (examples/embed) against that installed package only: the library,
# its public headers, the program and the CMake package must be enough for another project.
#
# Variables: BUILD_DIR (this build tree), SOURCE_DIR, WORK_DIR (scratch), CXX_COMPILER.
cmake_minimum_required(VERSION 3.25)

set(prefix ${WORK_DIR}/staging)
set(consumer ${WORK_DIR}/consumer)
file(REMOVE_RECURSE ${WORK_DIR})

function(step what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${what} failed (${status}):\n${out}\n${err}")
  endif()
  set(step_output "${out}" PARENT_SCOPE)
endfunction()

step("install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(file include/quorlane/quorlane.h bin/quorlane)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "the installation lacks ${file}")
  endif()
endforeach()
file(GLOB_RECURSE config ${prefix}/*/QuorlaneConfig.cmake)
if(NOT config)
  message(FATAL_ERROR "the installation lacks QuorlaneConfig.cmake")
endif()

# Only the staging prefix is searched: nothing of the build tree may be needed.
step("configuring the consumer" ${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/embed -B ${consumer}
     -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
     -DCMAKE_CXX_COMPILER=${CXX_COMPILER})
step("building the consumer" ${CMAKE_COMMAND} --build ${consumer})

# The installed program sets up a demonstration database; the consumer builds a quote on it.
set(db ${WORK_DIR}/consumer.db)
step("installed quorlane init" ${prefix}/bin/quorlane init --db ${db} --demo)
step("running the consumer" ${CMAKE_COMMAND} -E env QUORLANE_DB=${db} QUORLANE_OPERATOR=EMBED
     QUORLANE_MESSAGE_LOG=none ${consumer}/embed)
if(NOT step_output MATCHES "^Quote A0000000001: line 0001, net amount 290\n$")
  message(FATAL_ERROR "unexpected output of the consumer: ${step_output}")
endif()
step("installed quorlane show" ${prefix}/bin/quorlane show --db ${db} A0000000001)
if(NOT step_output MATCHES "Net amount +290.00")
  message(FATAL_ERROR "the installed program does not show the consumer's quote:\n${step_output}")
endif()
message(STATUS "the consumer built and ran against ${prefix}")
