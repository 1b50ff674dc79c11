# The program's icon at the hicolor theme's sizes, from its SVG.
add_executable(linkvigil-icons ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(linkvigil-icons PRIVATE linkvigil_common Qt6::Gui Qt6::Svg)
set(LINKVIGIL_ICON_SVG ${PROJECT_SOURCE_DIR}/src/gui/resources/icons/program.svg)
add_custom_command(
    OUTPUT ${LINKVIGIL_ICON_DIR}/48x48/apps/linkvigil.png
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            $<TARGET_FILE:linkvigil-icons> ${LINKVIGIL_ICON_SVG} ${LINKVIGIL_ICON_DIR}
    DEPENDS linkvigil-icons ${LINKVIGIL_ICON_SVG}
    COMMENT "Rendering the program's icon (icons/NxN/apps/linkvigil.png)"
    VERBATIM)
add_custom_target(linkvigil_icons_png ALL DEPENDS ${LINKVIGIL_ICON_DIR}/48x48/apps/linkvigil.png)
