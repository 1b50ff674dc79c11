# The history window: its axes, its reading off the window's thread, the
# window itself at scale 1 and 2, and the echoes' export (core alone, as the
# headless watcher has it).
linkvigil_add_test(test_history_fetcher unit/TestHistoryFetcher.cpp)
linkvigil_add_test(test_history_window unit/TestHistoryWindow.cpp)
set_tests_properties(test_history_window PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_SCALE_FACTOR=1")
add_test(NAME test_history_window_scale2 COMMAND test_history_window)
set_tests_properties(test_history_window_scale2 PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_SCALE_FACTOR=2"
                     TIMEOUT 120)

add_executable(test_history_export unit/TestHistoryExport.cpp)
target_link_libraries(test_history_export PRIVATE linkvigil_core Qt6::Test)
target_compile_options(test_history_export PRIVATE -UQT_NO_CAST_FROM_ASCII -UQT_NO_CAST_TO_ASCII)
add_test(NAME test_history_export COMMAND test_history_export)

add_executable(test_history_axes unit/TestHistoryAxes.cpp)
target_link_libraries(test_history_axes PRIVATE linkvigil_gui Qt6::Test)
target_compile_options(test_history_axes PRIVATE -UQT_NO_CAST_FROM_ASCII -UQT_NO_CAST_TO_ASCII)
foreach(zone Europe/Berlin America/Santiago)
    string(REGEX REPLACE ".*/" "" city ${zone})
    add_test(NAME test_history_axes_${city} COMMAND test_history_axes)
    set_tests_properties(test_history_axes_${city} PROPERTIES ENVIRONMENT "TZ=${zone}" TIMEOUT 60)
endforeach()

# The window's engine writes the history beside its log, and the window's
# link opens it.
linkvigil_add_test(test_history_feed unit/TestHistoryFeed.cpp)

# The route window: the traced path's table and a hop over time.
linkvigil_add_test(test_route_window unit/TestRouteWindow.cpp)
