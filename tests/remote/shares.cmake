# Sharer against the test DC (shares.js, given the directory the DC script
# shares from), and the server service's share calls (shares_test.cpp).
add_executable(remote_shares_test ${CMAKE_CURRENT_LIST_DIR}/shares_test.cpp)
target_link_libraries(remote_shares_test PRIVATE vorlek_remote GTest::gtest GTest::gtest_main)
gtest_discover_tests(remote_shares_test DISCOVERY_TIMEOUT 60 PROPERTIES LABELS remote)
vorlek_remote_test(remote.shares
  sh -c [[exec "$0" --remote "$VORLEK_DC_IP" --user "$VORLEK_DC_USER" --password-file "$VORLEK_DC_PASSWORD_FILE" --include "$1" "$2" remote vorlek-run "$(dirname "$VORLEK_DC_PASSWORD_FILE")/share"]]
  $<TARGET_FILE:vorlek-run> ${PROJECT_SOURCE_DIR}/tests/scripts/harness.js ${CMAKE_CURRENT_LIST_DIR}/shares.js)
