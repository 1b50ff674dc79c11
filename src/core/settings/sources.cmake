target_sources(linkvigil_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/MonitorProfile.cpp ${CMAKE_CURRENT_LIST_DIR}/MonitorProfile.h
    ${CMAKE_CURRENT_LIST_DIR}/SettingsKeys.cpp ${CMAKE_CURRENT_LIST_DIR}/SettingsKeys.h
    ${CMAKE_CURRENT_LIST_DIR}/TIniFile.cpp ${CMAKE_CURRENT_LIST_DIR}/TIniFile.h
)
