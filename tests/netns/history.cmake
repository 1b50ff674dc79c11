# The history from the wire: a watcher's echoes, a stretch of them lost to a
# blackholed host, read back by --export.
add_test(NAME netns_history_export
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/netns-run.sh
            -- ${CMAKE_CURRENT_SOURCE_DIR}/history-export.sh $<TARGET_FILE:linkvigil-watch>)
set_tests_properties(netns_history_export PROPERTIES LABELS netns SKIP_RETURN_CODE 77 TIMEOUT 180)
