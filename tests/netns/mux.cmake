# Many echoes at once over the shared socket, in the private test network.
add_executable(test_netns_mux TestEchoMuxNetns.cpp)
target_link_libraries(test_netns_mux PRIVATE linkvigil_core Qt6::Test)
add_dependencies(test_netns_mux linkvigil-responder)
add_test(NAME netns_mux
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/netns-run.sh --responder $<TARGET_FILE:linkvigil-responder>
            -- $<TARGET_FILE:test_netns_mux>)
set_tests_properties(netns_mux PROPERTIES LABELS netns SKIP_RETURN_CODE 77 TIMEOUT 300)
