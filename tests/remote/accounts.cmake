# The remote accounts area: its unit tests (no server), the script tests
# against the test DC, and the load benchmark (a tool, run by hand:
# remote_accounts_bench SERVER DOMAIN\user PASSWORD_FILE [ACCOUNTS]).
add_executable(remote_accounts_tests ${CMAKE_CURRENT_LIST_DIR}/accounts_test.cpp)
target_link_libraries(remote_accounts_tests PRIVATE vorlek_remote GTest::gtest GTest::gtest_main)
gtest_discover_tests(remote_accounts_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS native)

set(accounts_harness ${PROJECT_SOURCE_DIR}/tests/scripts/harness.js)
vorlek_remote_test(accounts sh -c
  "exec \"$0\" --remote \"$VORLEK_DC_IP\" --user \"$VORLEK_DC_USER\" --password-file \"$VORLEK_DC_PASSWORD_FILE\" --include \"$1\" \"$2\" remote vorlek-run"
  $<TARGET_FILE:vorlek-run> ${accounts_harness} ${CMAKE_CURRENT_LIST_DIR}/accounts.js)
# Signed in with a wrong password.
vorlek_remote_test(accounts_faults sh -c
  "f=$(mktemp) && trap 'rm -f \"$f\"' EXIT && printf 'Not#The1Password' >\"$f\" && \"$0\" --remote \"$VORLEK_DC_IP\" --user \"$VORLEK_DC_USER\" --password-file \"$f\" --include \"$1\" \"$2\" remote vorlek-run"
  $<TARGET_FILE:vorlek-run> ${accounts_harness} ${CMAKE_CURRENT_LIST_DIR}/accounts_faults.js)

add_executable(remote_accounts_bench ${CMAKE_CURRENT_LIST_DIR}/accounts_bench.cpp)
target_link_libraries(remote_accounts_bench PRIVATE vorlek vorlek_remote PkgConfig::SAMBA_CLIENT)
target_include_directories(remote_accounts_bench SYSTEM PRIVATE ${SAMBA_CLIENT_INCLUDE_DIRS})
