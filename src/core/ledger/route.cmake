# The route, gateway and link to a host, from the kernel over rtnetlink.
target_sources(linkvigil_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/RouteProbe.cpp ${CMAKE_CURRENT_LIST_DIR}/RouteProbe.h
)
