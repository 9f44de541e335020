# Unpacks the portable ZIP into a fresh folder, as a user would. Variables: ZIP, INTO.
file(REMOVE_RECURSE "${INTO}")
file(MAKE_DIRECTORY "${INTO}")
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf "${ZIP}" WORKING_DIRECTORY "${INTO}" RESULT_VARIABLE unpacked)
if(NOT unpacked EQUAL 0 OR NOT EXISTS "${INTO}/${NAME}/Kestrun.exe")
  message(FATAL_ERROR "could not unpack ${ZIP} into ${INTO}")
endif()
