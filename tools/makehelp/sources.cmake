# The user guide, laid out from its Markdown text at build time into
# linkvigil.pdf, and the information page, both into the program folder.
add_executable(linkvigil-makehelp ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(linkvigil-makehelp PRIVATE linkvigil_page)
target_compile_definitions(linkvigil-makehelp PRIVATE LINKVIGIL_VERSION="${PROJECT_VERSION}")

set(LINKVIGIL_GUIDE_TEXT ${PROJECT_SOURCE_DIR}/docs/linkvigil-guide.md)
set(LINKVIGIL_INFO_PAGE ${PROJECT_SOURCE_DIR}/docs/linkvigil.html)
add_custom_command(
    OUTPUT ${LINKVIGIL_PROGRAM_DIR}/linkvigil.pdf
    COMMAND ${CMAKE_COMMAND} -E make_directory ${LINKVIGIL_PROGRAM_DIR}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            $<TARGET_FILE:linkvigil-makehelp> ${LINKVIGIL_GUIDE_TEXT} ${LINKVIGIL_FIGURE_DIR}
            ${LINKVIGIL_PROGRAM_DIR}/linkvigil.pdf
    DEPENDS linkvigil-makehelp linkvigil_figures ${LINKVIGIL_FIGURE_DIR}/main-window.png ${LINKVIGIL_GUIDE_TEXT}
    COMMENT "Laying out the user guide (linkvigil.pdf)"
    VERBATIM)
add_custom_command(
    OUTPUT ${LINKVIGIL_PROGRAM_DIR}/linkvigil.html
    COMMAND ${CMAKE_COMMAND} -E make_directory ${LINKVIGIL_PROGRAM_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy ${LINKVIGIL_INFO_PAGE} ${LINKVIGIL_PROGRAM_DIR}/linkvigil.html
    DEPENDS ${LINKVIGIL_INFO_PAGE}
    COMMENT "Copying the information page (linkvigil.html)"
    VERBATIM)
add_custom_target(linkvigil_help ALL
    DEPENDS ${LINKVIGIL_PROGRAM_DIR}/linkvigil.pdf ${LINKVIGIL_PROGRAM_DIR}/linkvigil.html)
