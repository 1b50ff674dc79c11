# The outage ledger on disk and the sums over its rows.
target_sources(linkvigil_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/HostLedger.cpp ${CMAKE_CURRENT_LIST_DIR}/HostLedger.h
    ${CMAKE_CURRENT_LIST_DIR}/HostState.cpp ${CMAKE_CURRENT_LIST_DIR}/HostState.h
    ${CMAKE_CURRENT_LIST_DIR}/LedgerCsv.cpp ${CMAKE_CURRENT_LIST_DIR}/LedgerCsv.h
    ${CMAKE_CURRENT_LIST_DIR}/LedgerFile.cpp ${CMAKE_CURRENT_LIST_DIR}/LedgerFile.h
    ${CMAKE_CURRENT_LIST_DIR}/LedgerQuery.cpp ${CMAKE_CURRENT_LIST_DIR}/LedgerQuery.h
    ${CMAKE_CURRENT_LIST_DIR}/OutageWatch.cpp ${CMAKE_CURRENT_LIST_DIR}/OutageWatch.h
    ${CMAKE_CURRENT_LIST_DIR}/LedgerTotals.cpp ${CMAKE_CURRENT_LIST_DIR}/LedgerTotals.h
)
