# The Prometheus endpoint: the per-host record, its exposition text and the
# HTTP server with its connection limits; no Gui, no Widgets.
add_library(linkvigil_metrics STATIC
    ${CMAKE_CURRENT_LIST_DIR}/BoundedTcpServer.cpp ${CMAKE_CURRENT_LIST_DIR}/BoundedTcpServer.h
    ${CMAKE_CURRENT_LIST_DIR}/EngineFeed.cpp ${CMAKE_CURRENT_LIST_DIR}/EngineFeed.h
    ${CMAKE_CURRENT_LIST_DIR}/EngineEndpoint.cpp ${CMAKE_CURRENT_LIST_DIR}/EngineEndpoint.h
    ${CMAKE_CURRENT_LIST_DIR}/Exposition.cpp ${CMAKE_CURRENT_LIST_DIR}/Exposition.h
    ${CMAKE_CURRENT_LIST_DIR}/HopMetrics.cpp ${CMAKE_CURRENT_LIST_DIR}/HopMetrics.h
    ${CMAKE_CURRENT_LIST_DIR}/HostMetrics.cpp ${CMAKE_CURRENT_LIST_DIR}/HostMetrics.h
    ${CMAKE_CURRENT_LIST_DIR}/ListenAddress.cpp ${CMAKE_CURRENT_LIST_DIR}/ListenAddress.h
    ${CMAKE_CURRENT_LIST_DIR}/MetricsServer.cpp ${CMAKE_CURRENT_LIST_DIR}/MetricsServer.h
)
target_link_libraries(linkvigil_metrics PUBLIC linkvigil_core Qt6::Core Qt6::Network PRIVATE Qt6::HttpServer)
linkvigil_precompile(linkvigil_metrics)
