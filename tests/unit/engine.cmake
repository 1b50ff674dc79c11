# The engine without any window: links no Widgets.
add_executable(test_engine unit/TestMonitorEngine.cpp)
target_include_directories(test_engine PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/support)
target_link_libraries(test_engine PRIVATE linkvigil_core Qt6::Test)
add_test(NAME test_engine COMMAND test_engine)
set_tests_properties(test_engine PROPERTIES TIMEOUT 60)

add_executable(test_outages unit/TestOutageTracker.cpp)
target_link_libraries(test_outages PRIVATE linkvigil_core Qt6::Test)
add_test(NAME test_outages COMMAND test_outages)
set_tests_properties(test_outages PROPERTIES TIMEOUT 60)
