# Services of the remote backend: the unit tests of the service manager's
# requests and replies, and the script test against the test DC.
add_executable(remote_services_tests ${CMAKE_CURRENT_LIST_DIR}/services_test.cpp)
target_link_libraries(remote_services_tests PRIVATE vorlek_remote GTest::gtest GTest::gtest_main)
gtest_discover_tests(remote_services_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS native)
vorlek_remote_test(remote.services
                   ${CMAKE_COMMAND} -DHOST=$<TARGET_FILE:vorlek-run>
                   -DHARNESS=${PROJECT_SOURCE_DIR}/tests/scripts/harness.js
                   -DSCRIPT=${CMAKE_CURRENT_LIST_DIR}/services.js -P ${CMAKE_CURRENT_LIST_DIR}/svcreg_run.cmake)
