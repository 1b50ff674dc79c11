target_sources(
    linkvigil_core
    PRIVATE ${CMAKE_CURRENT_LIST_DIR}/TraceProbe.h
            ${CMAKE_CURRENT_LIST_DIR}/HopRecord.cpp
            ${CMAKE_CURRENT_LIST_DIR}/HopRecord.h
            ${CMAKE_CURRENT_LIST_DIR}/HopNames.cpp
            ${CMAKE_CURRENT_LIST_DIR}/HopNames.h
            ${CMAKE_CURRENT_LIST_DIR}/PathReading.cpp
            ${CMAKE_CURRENT_LIST_DIR}/PathReading.h
            ${CMAKE_CURRENT_LIST_DIR}/PathSnapshot.cpp
            ${CMAKE_CURRENT_LIST_DIR}/PathSnapshot.h
            ${CMAKE_CURRENT_LIST_DIR}/PathTrace.cpp
            ${CMAKE_CURRENT_LIST_DIR}/PathTrace.h
            ${CMAKE_CURRENT_LIST_DIR}/PathWatch.cpp
            ${CMAKE_CURRENT_LIST_DIR}/PathWatch.h)
