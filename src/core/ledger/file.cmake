# The outage ledger on disk and the sums over its rows.
target_sources(linkvigil_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/LedgerFile.cpp ${CMAKE_CURRENT_LIST_DIR}/LedgerFile.h
    ${CMAKE_CURRENT_LIST_DIR}/LedgerTotals.cpp ${CMAKE_CURRENT_LIST_DIR}/LedgerTotals.h
)
