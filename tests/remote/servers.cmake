# Computer reads the test DC (servers.js), and the server and workstation
# records (servers_test.cpp).
add_executable(remote_servers_test ${CMAKE_CURRENT_LIST_DIR}/servers_test.cpp)
target_link_libraries(remote_servers_test PRIVATE vorlek_remote GTest::gtest GTest::gtest_main)
gtest_discover_tests(remote_servers_test DISCOVERY_TIMEOUT 60 PROPERTIES LABELS remote)
vorlek_remote_test(remote.servers
  sh -c [[exec "$0" --remote "$VORLEK_DC_IP" --user "$VORLEK_DC_USER" --password-file "$VORLEK_DC_PASSWORD_FILE" --include "$1" "$2" remote vorlek-run "$(dirname "$VORLEK_DC_PASSWORD_FILE")/share"]]
  $<TARGET_FILE:vorlek-run> ${PROJECT_SOURCE_DIR}/tests/scripts/harness.js ${CMAKE_CURRENT_LIST_DIR}/servers.js)
# The same classes signing in with a wrong password.
vorlek_remote_test(remote.servers_wrong_password
  sh -c [[f=$(mktemp) && trap 'rm -f "$f"' EXIT && printf wrong >"$f" && "$0" --remote "$VORLEK_DC_IP" --user "$VORLEK_DC_USER" --password-file "$f" --include "$1" "$2" remote vorlek-run - wrong-password]]
  $<TARGET_FILE:vorlek-run> ${PROJECT_SOURCE_DIR}/tests/scripts/harness.js ${CMAKE_CURRENT_LIST_DIR}/servers.js)
