target_sources(linkvigil_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/AlertCrossing.h
    ${CMAKE_CURRENT_LIST_DIR}/ChartColumns.h
    ${CMAKE_CURRENT_LIST_DIR}/ChartCursor.cpp ${CMAKE_CURRENT_LIST_DIR}/ChartCursor.h
    ${CMAKE_CURRENT_LIST_DIR}/RecentAddresses.cpp ${CMAKE_CURRENT_LIST_DIR}/RecentAddresses.h
    ${CMAKE_CURRENT_LIST_DIR}/Reliability.cpp ${CMAKE_CURRENT_LIST_DIR}/Reliability.h
    ${CMAKE_CURRENT_LIST_DIR}/ReliabilityAlerts.cpp ${CMAKE_CURRENT_LIST_DIR}/ReliabilityAlerts.h
)
