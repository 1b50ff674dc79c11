target_sources(linkvigil_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/SystemClock.cpp ${CMAKE_CURRENT_LIST_DIR}/SystemClock.h)
target_sources(linkvigil_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/DateTime.cpp ${CMAKE_CURRENT_LIST_DIR}/DateTime.h)
target_sources(linkvigil_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Stopwatch.cpp ${CMAKE_CURRENT_LIST_DIR}/Stopwatch.h)
target_sources(linkvigil_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/LocalTime.cpp ${CMAKE_CURRENT_LIST_DIR}/LocalTime.h)
