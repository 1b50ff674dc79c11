# The outage ledger on disk and its totals: links no Widgets.
add_executable(test_ledger_file unit/TestLedgerFile.cpp)
target_link_libraries(test_ledger_file PRIVATE linkvigil_core Qt6::Test)
target_compile_options(test_ledger_file PRIVATE -UQT_NO_CAST_FROM_ASCII -UQT_NO_CAST_TO_ASCII)
add_test(NAME test_ledger_file COMMAND test_ledger_file)
set_tests_properties(test_ledger_file PROPERTIES TIMEOUT 60)
