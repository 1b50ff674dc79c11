# The example Prometheus files (promtool; 77 means it is missing).
add_test(NAME prometheus_examples COMMAND ${CMAKE_CURRENT_LIST_DIR}/check-prometheus.sh)
set_tests_properties(prometheus_examples PROPERTIES SKIP_RETURN_CODE 77)
