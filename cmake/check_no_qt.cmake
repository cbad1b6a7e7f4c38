# Fails when the given executable (built on the core alone) pulls in any Qt library.
execute_process(COMMAND ldd ${EXE} OUTPUT_VARIABLE deps RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "ldd failed on ${EXE}")
endif()
if(deps MATCHES "libQt")
  message(FATAL_ERROR "${EXE} links Qt:\n${deps}")
endif()
message(STATUS "${EXE} links no Qt")
