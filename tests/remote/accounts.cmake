# The remote accounts area: its unit tests (no server), the script test
# against the test DC, and the load benchmark (1,000 accounts, label bench).
add_executable(remote_accounts_tests ${CMAKE_CURRENT_LIST_DIR}/accounts_test.cpp)
target_link_libraries(remote_accounts_tests PRIVATE vorlek_remote GTest::gtest GTest::gtest_main)
gtest_discover_tests(remote_accounts_tests DISCOVERY_TIMEOUT 60 PROPERTIES LABELS native)

vorlek_remote_test(accounts ${CMAKE_CURRENT_LIST_DIR}/accounts.js)

add_executable(remote_accounts_bench ${CMAKE_CURRENT_LIST_DIR}/accounts_bench.cpp)
target_link_libraries(remote_accounts_bench PRIVATE vorlek vorlek_remote PkgConfig::SAMBA_CLIENT)
target_include_directories(remote_accounts_bench SYSTEM PRIVATE ${SAMBA_CLIENT_INCLUDE_DIRS})
