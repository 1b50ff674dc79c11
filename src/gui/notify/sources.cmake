# The desktop's notifications on the session bus, and the rules that turn the
# engine's alerts into them: Qt Core and D-Bus only.
find_package(Qt6 6.4 REQUIRED COMPONENTS DBus)
add_library(linkvigil_desktop STATIC
    ${CMAKE_CURRENT_LIST_DIR}/AlertNotices.cpp ${CMAKE_CURRENT_LIST_DIR}/AlertNotices.h
    ${CMAKE_CURRENT_LIST_DIR}/DBusNotifications.cpp ${CMAKE_CURRENT_LIST_DIR}/DBusNotifications.h
    ${CMAKE_CURRENT_LIST_DIR}/INotifications.h
)
target_include_directories(linkvigil_desktop PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(linkvigil_desktop PUBLIC linkvigil_core Qt6::DBus)
linkvigil_precompile(linkvigil_desktop)
target_link_libraries(linkvigil_gui PUBLIC linkvigil_desktop)
