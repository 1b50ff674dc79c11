# The path trace: its rounds over scripted channels, the hops' records and
# how they are read. Links no Widgets.
add_executable(test_trace unit/TestTrace.cpp)
target_link_libraries(test_trace PRIVATE linkvigil_core Qt6::Test)
target_include_directories(test_trace PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/support)
add_test(NAME test_trace COMMAND test_trace)
set_tests_properties(test_trace PROPERTIES TIMEOUT 60)
