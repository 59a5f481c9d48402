# Registry of the remote backend: the unit tests of the remote registry's
# requests and replies, and the script test against the test DC.
add_executable(remote_registry_tests ${CMAKE_CURRENT_LIST_DIR}/registry_test.cpp)
target_link_libraries(remote_registry_tests PRIVATE vorlek_remote GTest::gtest GTest::gtest_main)
gtest_discover_tests(remote_registry_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS native)
vorlek_remote_test(remote.registry
                   ${CMAKE_COMMAND} -DHOST=$<TARGET_FILE:vorlek-run>
                   -DHARNESS=${PROJECT_SOURCE_DIR}/tests/scripts/harness.js
                   -DSCRIPT=${CMAKE_CURRENT_LIST_DIR}/registry.js -P ${CMAKE_CURRENT_LIST_DIR}/svcreg_run.cmake)
