# The path trace on a real four-hop path, beside mtr; a tracing watcher
# whose outage names the hop where the path ended.
add_test(NAME netns_trace_path COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/trace-path.sh $<TARGET_FILE:linkvigil-echo>
                                          $<TARGET_FILE:linkvigil-watch>)
set_tests_properties(netns_trace_path PROPERTIES LABELS netns SKIP_RETURN_CODE 77 TIMEOUT 240)
