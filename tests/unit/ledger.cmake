# The outage ledger on disk and its totals: links no Widgets.
add_executable(test_ledger_file unit/TestLedgerFile.cpp)
target_link_libraries(test_ledger_file PRIVATE linkvigil_core Qt6::Test)
target_compile_options(test_ledger_file PRIVATE -UQT_NO_CAST_FROM_ASCII -UQT_NO_CAST_TO_ASCII)
add_test(NAME test_ledger_file COMMAND test_ledger_file)
set_tests_properties(test_ledger_file PROPERTIES TIMEOUT 60)
# Each host's own part of a ledger shared by a folder of hosts.
add_executable(test_host_ledger unit/TestHostLedger.cpp)
target_link_libraries(test_host_ledger PRIVATE linkvigil_core Qt6::Test)
target_compile_options(test_host_ledger PRIVATE -UQT_NO_CAST_FROM_ASCII -UQT_NO_CAST_TO_ASCII)
add_test(NAME test_host_ledger COMMAND test_host_ledger)
set_tests_properties(test_host_ledger PROPERTIES TIMEOUT 60)
