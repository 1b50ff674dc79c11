# The history window: the echoes of a host over time, read on a thread of
# its own, and their export.
target_sources(linkvigil_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/BucketCache.cpp ${CMAKE_CURRENT_LIST_DIR}/BucketCache.h
    ${CMAKE_CURRENT_LIST_DIR}/BucketRequest.h
    ${CMAKE_CURRENT_LIST_DIR}/HistoryFetcher.cpp ${CMAKE_CURRENT_LIST_DIR}/HistoryFetcher.h
    ${CMAKE_CURRENT_LIST_DIR}/HistoryPlot.cpp ${CMAKE_CURRENT_LIST_DIR}/HistoryPlot.h
    ${CMAKE_CURRENT_LIST_DIR}/HistoryReadout.cpp ${CMAKE_CURRENT_LIST_DIR}/HistoryReadout.h
    ${CMAKE_CURRENT_LIST_DIR}/HistoryViewport.cpp ${CMAKE_CURRENT_LIST_DIR}/HistoryViewport.h
    ${CMAKE_CURRENT_LIST_DIR}/THistoryChart.cpp ${CMAKE_CURRENT_LIST_DIR}/THistoryChart.h
    ${CMAKE_CURRENT_LIST_DIR}/THistoryForm.cpp ${CMAKE_CURRENT_LIST_DIR}/THistoryForm.h
    ${CMAKE_CURRENT_LIST_DIR}/THistoryForm_Export.cpp
)
