# The tray icon's state and commands, the alerts' notifications.
linkvigil_add_test(test_tray unit/TestTray.cpp)
linkvigil_add_test(test_notices unit/TestNotices.cpp)

# The guide's figures, rendered from the windows.
add_executable(test_figures unit/TestFigures.cpp)
target_link_libraries(test_figures PRIVATE Qt6::Gui Qt6::Test)
target_compile_definitions(test_figures PRIVATE LINKVIGIL_FIGURES="$<TARGET_FILE:linkvigil-figures>")
add_dependencies(test_figures linkvigil-figures)
add_test(NAME test_figures COMMAND test_figures)
set_tests_properties(test_figures PROPERTIES TIMEOUT 180)
