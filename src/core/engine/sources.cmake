target_sources(linkvigil_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/MonitorEngine.cpp ${CMAKE_CURRENT_LIST_DIR}/MonitorEngine.h
    ${CMAKE_CURRENT_LIST_DIR}/MonitorEngine_Probe.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TTimer.cpp ${CMAKE_CURRENT_LIST_DIR}/TTimer.h
    ${CMAKE_CURRENT_LIST_DIR}/../seams/IMessageBoxes.h
    ${CMAKE_CURRENT_LIST_DIR}/../seams/ISoundPlayer.h
)
