target_sources(linkvigil_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Regional.cpp ${CMAKE_CURRENT_LIST_DIR}/Regional.h)
target_sources(linkvigil_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Stamps.cpp ${CMAKE_CURRENT_LIST_DIR}/Stamps.h)
target_sources(linkvigil_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/FloatText.cpp ${CMAKE_CURRENT_LIST_DIR}/FloatText.h)
target_sources(linkvigil_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/SharedText.cpp ${CMAKE_CURRENT_LIST_DIR}/SharedText.h)
