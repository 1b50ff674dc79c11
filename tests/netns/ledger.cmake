# The outage ledger from the wire: each cause staged in the test network, a
# watcher held up by SIGSTOP, and an outage cut short by kill -9.
add_test(NAME netns_ledger
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/netns-run.sh
            -- ${CMAKE_CURRENT_SOURCE_DIR}/ledger-causes.sh $<TARGET_FILE:linkvigil-watch>)
set_tests_properties(netns_ledger PROPERTIES LABELS netns SKIP_RETURN_CODE 77 TIMEOUT 240)
