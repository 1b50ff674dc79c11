# Echoes to many hosts at once over one socket, on the event loop.
target_sources(linkvigil_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/EchoMux.cpp ${CMAKE_CURRENT_LIST_DIR}/EchoMux.h
)
