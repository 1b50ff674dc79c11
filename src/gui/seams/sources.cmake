target_sources(linkvigil_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/DesktopShell.cpp ${CMAKE_CURRENT_LIST_DIR}/DesktopShell.h
    ${CMAKE_CURRENT_LIST_DIR}/IFileDialogs.h
    ${CMAKE_CURRENT_LIST_DIR}/IShell.h
    ${CMAKE_CURRENT_LIST_DIR}/QtMessageBoxes.cpp ${CMAKE_CURRENT_LIST_DIR}/QtMessageBoxes.h
    ${CMAKE_CURRENT_LIST_DIR}/TextEditorLookup.cpp ${CMAKE_CURRENT_LIST_DIR}/TextEditorLookup.h
)
