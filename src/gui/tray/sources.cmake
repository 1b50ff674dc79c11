# The status icon in the desktop's tray and the state it shows.
target_sources(linkvigil_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/TrayIcon.cpp ${CMAKE_CURRENT_LIST_DIR}/TrayIcon.h
    ${CMAKE_CURRENT_LIST_DIR}/TrayStatus.cpp ${CMAKE_CURRENT_LIST_DIR}/TrayStatus.h
)
