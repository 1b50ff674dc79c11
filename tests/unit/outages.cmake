# The outage window, the report and its command-line tool.
linkvigil_add_test(test_outages_window unit/TestOutagesWindow.cpp)
linkvigil_add_core_test(test_report unit/TestReport.cpp)
target_link_libraries(test_report PRIVATE linkvigil_report linkvigil_report_range)
target_compile_definitions(test_report PRIVATE LINKVIGIL_REPORT_TOOL="$<TARGET_FILE:linkvigil-report>"
                                              LINKVIGIL_GUIDE_PDF="${LINKVIGIL_PROGRAM_DIR}/linkvigil.pdf")
add_dependencies(test_report linkvigil-report linkvigil_help)
# Report periods, stamps and the timeline where the clocks change, in two
# zones: a day that begins at 01:00 and an hour that happens twice.
add_executable(test_timezones unit/TestTimeZones.cpp)
target_link_libraries(test_timezones PRIVATE linkvigil_report linkvigil_report_range Qt6::Test)
target_compile_options(test_timezones PRIVATE -UQT_NO_CAST_FROM_ASCII -UQT_NO_CAST_TO_ASCII)
foreach(zone America/Santiago Europe/Berlin)
    string(REGEX REPLACE ".*/" "" city ${zone})
    add_test(NAME test_timezones_${city} COMMAND test_timezones)
    set_tests_properties(test_timezones_${city} PROPERTIES ENVIRONMENT "TZ=${zone}" TIMEOUT 60)
endforeach()
# The report's echo page from a History.db, across the night the clocks go back.
linkvigil_add_core_test(test_report_echoes unit/TestReportEchoes.cpp unit/HistoryTestKit.h)
target_link_libraries(test_report_echoes PRIVATE linkvigil_report)
set_tests_properties(test_report_echoes PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TZ=Europe/Berlin")
