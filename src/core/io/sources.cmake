target_sources(linkvigil_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/Fd.h ${CMAKE_CURRENT_LIST_DIR}/SafeWrite.cpp ${CMAKE_CURRENT_LIST_DIR}/SafeWrite.h
    ${CMAKE_CURRENT_LIST_DIR}/RealPath.cpp ${CMAKE_CURRENT_LIST_DIR}/RealPath.h)
