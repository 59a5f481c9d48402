# The backend's own logic, without a server.
add_executable(remote_tests ndr_test.cpp)
target_link_libraries(remote_tests PRIVATE vorlek_remote GTest::gtest GTest::gtest_main)
gtest_discover_tests(remote_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "native;remote"
                     ENVIRONMENT "${VORLEK_REMOTE_ENV}")

# vorlek_remote_script(NAME): tests/remote/NAME.js against the DC.
function(vorlek_remote_script name)
  vorlek_remote_test(remote.${name} ${CMAKE_CURRENT_SOURCE_DIR}/run-script.sh $<TARGET_FILE:vorlek-run>
                     ${PROJECT_SOURCE_DIR}/tests/scripts/harness.js ${CMAKE_CURRENT_SOURCE_DIR}/${name}.js
                     TIMEOUT 300)
endfunction()
