# Runs one script test through vorlek-run with the shared harness in front.
# Passes only when the run ends with status 0 and its last line reads
# "N passed, 0 failed".
execute_process(
  COMMAND ${HOST} --include ${HARNESS} ${SCRIPT} sim vorlek-run
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
string(STRIP "${out}" out)
string(REGEX MATCH "[^\n]*$" last "${out}")
message("${out}")
if(NOT err STREQUAL "")
  message("${err}")
endif()
if(NOT status EQUAL 0 OR NOT last MATCHES "^[0-9]+ passed, 0 failed$")
  message(FATAL_ERROR "script test failed (status ${status})")
endif()
