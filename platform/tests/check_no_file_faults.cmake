# Fails when the shipped platform library (SHIPPED) defines or calls FileFaults, or
# when the test build of the file layer (TESTED, a ;-list of objects) does not: the
# second half shows that the symbol listing works and the check can fail.
execute_process(COMMAND ${NM} -C ${SHIPPED} OUTPUT_VARIABLE shipped RESULT_VARIABLE shipped_result)
execute_process(COMMAND ${NM} -C ${TESTED} OUTPUT_VARIABLE tested RESULT_VARIABLE tested_result)
if(NOT shipped_result EQUAL 0 OR NOT tested_result EQUAL 0)
  message(FATAL_ERROR "${NM} could not list the symbols")
endif()
if(NOT shipped MATCHES "File::Open")
  message(FATAL_ERROR "the shipped platform library has no file layer")
endif()
if(shipped MATCHES "FileFaults")
  message(FATAL_ERROR "the shipped platform library still has the file fault hook")
endif()
if(NOT tested MATCHES "FileFaults::ShouldFail")
  message(FATAL_ERROR "the test build of the file layer has no fault hook")
endif()
message(STATUS "file fault injection is in the test build only")
