# The path trace on a real four-hop path, beside mtr; a tracing watcher
# whose outage names the hop where the path ended.
add_test(NAME netns_trace_path COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/trace-path.sh $<TARGET_FILE:linkvigil-echo>
                                          $<TARGET_FILE:linkvigil-watch>)
set_tests_properties(netns_trace_path PROPERTIES LABELS netns SKIP_RETURN_CODE 77 TIMEOUT 240)

# The trace against answers not about its probes, from the responder.
add_test(NAME netns_trace_hostile
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/netns-run.sh --responder $<TARGET_FILE:linkvigil-responder>
            -- ${CMAKE_CURRENT_SOURCE_DIR}/trace-hostile.sh $<TARGET_FILE:linkvigil-echo>)
set_tests_properties(netns_trace_hostile PROPERTIES LABELS netns SKIP_RETURN_CODE 77 TIMEOUT 60)
