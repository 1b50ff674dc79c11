# The route window: the traced path live, and a hop over time.
target_sources(linkvigil_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/RouteModel.cpp ${CMAKE_CURRENT_LIST_DIR}/RouteModel.h
    ${CMAKE_CURRENT_LIST_DIR}/TRouteForm.cpp ${CMAKE_CURRENT_LIST_DIR}/TRouteForm.h
)
