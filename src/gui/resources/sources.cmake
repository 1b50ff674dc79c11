# The icons, compiled into the gui library as :/icons/<name>.svg.
qt_add_resources(linkvigil_gui linkvigil_icons
    PREFIX "/icons"
    BASE ${CMAKE_CURRENT_LIST_DIR}/icons
    FILES
        ${CMAKE_CURRENT_LIST_DIR}/icons/check.svg
        ${CMAKE_CURRENT_LIST_DIR}/icons/cross.svg
        ${CMAKE_CURRENT_LIST_DIR}/icons/eyes.svg
        ${CMAKE_CURRENT_LIST_DIR}/icons/floppy.svg
        ${CMAKE_CURRENT_LIST_DIR}/icons/folder.svg
        ${CMAKE_CURRENT_LIST_DIR}/icons/warning.svg
        ${CMAKE_CURRENT_LIST_DIR}/icons/program.svg
        ${CMAKE_CURRENT_LIST_DIR}/icons/tray-idle.svg
        ${CMAKE_CURRENT_LIST_DIR}/icons/tray-up.svg
        ${CMAKE_CURRENT_LIST_DIR}/icons/tray-down.svg
        ${CMAKE_CURRENT_LIST_DIR}/icons/tray-lookup.svg)
