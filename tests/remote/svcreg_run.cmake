# Runs one script test through vorlek-run --remote against the test DC (its
# address and credentials from the VORLEK_DC_* variables of the client
# namespace) with the shared harness in front. Passes only when the run ends
# with status 0 and its last line reads "N passed, 0 failed".
foreach(var VORLEK_DC_IP VORLEK_DC_USER VORLEK_DC_PASSWORD_FILE)
  if("$ENV{${var}}" STREQUAL "")
    message(FATAL_ERROR "${var} is not set: run through scripts/samba-dc run")
  endif()
endforeach()
execute_process(
  COMMAND ${HOST} --remote $ENV{VORLEK_DC_IP} --user $ENV{VORLEK_DC_USER}
          --password-file $ENV{VORLEK_DC_PASSWORD_FILE} --include ${HARNESS} ${SCRIPT}
          remote vorlek-run
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status TIMEOUT 300)
string(STRIP "${out}" out)
string(REGEX MATCH "[^\n]*$" last "${out}")
message("${out}")
if(NOT err STREQUAL "")
  message("${err}")
endif()
if(NOT status EQUAL 0 OR NOT last MATCHES "^[0-9]+ passed, 0 failed$")
  message(FATAL_ERROR "remote script test failed (status ${status})")
endif()
