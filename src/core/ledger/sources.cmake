target_sources(linkvigil_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/LedgerRow.h
    ${CMAKE_CURRENT_LIST_DIR}/OutageTracker.cpp ${CMAKE_CURRENT_LIST_DIR}/OutageTracker.h
)
