# The outage window: the ledger's totals and rows, and their export.
target_sources(linkvigil_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/OutagesModel.cpp ${CMAKE_CURRENT_LIST_DIR}/OutagesModel.h
    ${CMAKE_CURRENT_LIST_DIR}/Swatch.h
    ${CMAKE_CURRENT_LIST_DIR}/TOutagesForm.cpp ${CMAKE_CURRENT_LIST_DIR}/TOutagesForm.h
    ${CMAKE_CURRENT_LIST_DIR}/TOutagesForm_Export.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TPeriodDialog.cpp ${CMAKE_CURRENT_LIST_DIR}/TPeriodDialog.h
    ${CMAKE_CURRENT_LIST_DIR}/TTotalsGrid.cpp ${CMAKE_CURRENT_LIST_DIR}/TTotalsGrid.h
)
