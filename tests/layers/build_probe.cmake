# Builds one probe target of the layer tests (cmake -DBUILD_DIR= -DTARGET= -DEXPECT= -P ...):
# EXPECT "builds" needs the build to succeed, anything else is a pattern that the output of a
# failed build must hold.
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${TARGET}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(EXPECT STREQUAL "builds")
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${TARGET} should build:\n${output}")
  endif()
elseif(result EQUAL 0)
  message(FATAL_ERROR "${TARGET} built, but its include should have stopped the compile")
elseif(NOT output MATCHES "${EXPECT}")
  message(FATAL_ERROR "${TARGET} failed without \"${EXPECT}\":\n${output}")
else()
  message(STATUS "${TARGET} failed as it should: ${EXPECT}")
endif()
