# The route, gateway and link to a host, read from the kernel as the test
# network's links go down and up.
add_executable(test_netns_route TestRouteNetns.cpp)
target_link_libraries(test_netns_route PRIVATE linkvigil_core Qt6::Test)
target_compile_options(test_netns_route PRIVATE -UQT_NO_CAST_FROM_ASCII)
add_test(NAME netns_route COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/netns-run.sh -- $<TARGET_FILE:test_netns_route>)
set_tests_properties(netns_route PROPERTIES LABELS netns SKIP_RETURN_CODE 77 TIMEOUT 120)
