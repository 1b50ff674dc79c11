target_sources(linkvigil_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/QtFileDialogs.cpp ${CMAKE_CURRENT_LIST_DIR}/QtFileDialogs.h
    ${CMAKE_CURRENT_LIST_DIR}/TFileNameEdit.cpp ${CMAKE_CURRENT_LIST_DIR}/TFileNameEdit.h
    ${CMAKE_CURRENT_LIST_DIR}/TLogForm.cpp ${CMAKE_CURRENT_LIST_DIR}/TLogForm.h
    ${CMAKE_CURRENT_LIST_DIR}/TLogForm_Settings.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TSpinEdit.cpp ${CMAKE_CURRENT_LIST_DIR}/TSpinEdit.h
)
