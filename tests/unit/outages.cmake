# The outage window, the report and its command-line tool.
linkvigil_add_test(test_outages_window unit/TestOutagesWindow.cpp)
linkvigil_add_test(test_report unit/TestReport.cpp ${PROJECT_SOURCE_DIR}/tools/report/ReportRange.cpp)
target_include_directories(test_report PRIVATE ${PROJECT_SOURCE_DIR}/tools/report)
target_compile_definitions(test_report PRIVATE LINKVIGIL_REPORT_TOOL="$<TARGET_FILE:linkvigil-report>")
add_dependencies(test_report linkvigil-report)
