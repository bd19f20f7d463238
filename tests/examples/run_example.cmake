# Runs PROGRAM and compares what it prints on standard output with the file EXPECTED.
#   cmake -DPROGRAM=... -DEXPECTED=... -P run_example.cmake
execute_process(COMMAND ${PROGRAM} OUTPUT_VARIABLE output RESULT_VARIABLE status)
if(NOT status STREQUAL "0")
  message(FATAL_ERROR "${PROGRAM} ended with ${status} after printing:\n${output}")
endif()
file(READ ${EXPECTED} expected)
if(NOT output STREQUAL expected)
  message(FATAL_ERROR "${PROGRAM} printed:\n${output}\nbut ${EXPECTED} holds:\n${expected}")
endif()
