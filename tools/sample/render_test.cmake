# Writes the sample show into DIR and renders its frame at 50 s with PROGRAM: the program must
# find every file the show reads, exit 0 and write a picture that is not blank (a black
# 640×480 frame compresses to a few kilobytes).
file(REMOVE_RECURSE ${DIR})
execute_process(COMMAND ${GENERATOR} ${DIR} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "vellumite-sample failed: ${rc}")
endif()
execute_process(COMMAND ${PROGRAM} --headless --data ${DIR} --screenshot 50 ${DIR}/frame50.png
                RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "vellumite --screenshot 50 exited with ${rc}: ${err}")
endif()
if(err MATCHES "missing show file")
  message(FATAL_ERROR "the sample show lacks files:\n${err}")
endif()
file(SIZE ${DIR}/frame50.png size)
if(size LESS 20000)
  message(FATAL_ERROR "frame50.png is ${size} bytes: the frame looks blank")
endif()
