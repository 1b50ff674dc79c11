target_sources(linkvigil_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/LogFile.cpp ${CMAKE_CURRENT_LIST_DIR}/LogFile.h
    ${CMAKE_CURRENT_LIST_DIR}/AveragingWindow.cpp ${CMAKE_CURRENT_LIST_DIR}/AveragingWindow.h
    ${CMAKE_CURRENT_LIST_DIR}/ConnectionLog.cpp ${CMAKE_CURRENT_LIST_DIR}/ConnectionLog.h
)
