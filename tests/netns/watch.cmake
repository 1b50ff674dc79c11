# The headless watcher: its command line, and its metrics scraped by a real
# Prometheus in the private test network.
add_test(NAME watch_cli COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/watch-cli.sh $<TARGET_FILE:linkvigil-watch>)
set_tests_properties(watch_cli PROPERTIES TIMEOUT 120)

add_test(NAME netns_watch
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/netns-run.sh --responder $<TARGET_FILE:linkvigil-responder>
            -- ${CMAKE_CURRENT_SOURCE_DIR}/watch-prometheus.sh $<TARGET_FILE:linkvigil-watch>)
set_tests_properties(netns_watch PROPERTIES LABELS netns SKIP_RETURN_CODE 77 TIMEOUT 120)
