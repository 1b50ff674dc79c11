# The outage report of one host as a PDF, for the headless watcher's
# --report and for scripts; into the program folder.
# The period of a report or an export, as FROM..TO: also the watcher's.
add_library(linkvigil_report_range STATIC ${CMAKE_CURRENT_LIST_DIR}/ReportRange.cpp
                                          ${CMAKE_CURRENT_LIST_DIR}/ReportRange.h)
target_include_directories(linkvigil_report_range PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(linkvigil_report_range PUBLIC linkvigil_core)
add_executable(linkvigil-report ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(linkvigil-report PRIVATE linkvigil_report linkvigil_report_range)
set_target_properties(linkvigil-report PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${LINKVIGIL_PROGRAM_DIR})
