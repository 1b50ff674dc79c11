# The outage report of one host as a PDF, for the headless watcher's
# --report and for scripts; into the program folder.
add_executable(linkvigil-report
    ${CMAKE_CURRENT_LIST_DIR}/main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ReportRange.cpp ${CMAKE_CURRENT_LIST_DIR}/ReportRange.h)
target_link_libraries(linkvigil-report PRIVATE linkvigil_report)
set_target_properties(linkvigil-report PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${LINKVIGIL_PROGRAM_DIR})
