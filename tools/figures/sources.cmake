# The guide's figures: the real windows rendered offscreen on the test
# fakes (header-only, from tests/support), at build time.
add_executable(linkvigil-figures ${CMAKE_CURRENT_LIST_DIR}/main.cpp ${CMAKE_CURRENT_LIST_DIR}/Figures.cpp
                                 ${CMAKE_CURRENT_LIST_DIR}/Figures.h)
target_include_directories(linkvigil-figures PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_link_libraries(linkvigil-figures PRIVATE linkvigil_gui)
target_compile_options(linkvigil-figures PRIVATE -UQT_NO_CAST_FROM_ASCII -UQT_NO_CAST_TO_ASCII)
set(LINKVIGIL_FIGURE_DIR ${CMAKE_BINARY_DIR}/figures)
add_custom_command(
    OUTPUT ${LINKVIGIL_FIGURE_DIR}/main-window.png
    # (In a sanitizer build the pictures are made without leak checking: the
    # tests check the windows for leaks.)
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen TZ=UTC ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:linkvigil-figures> ${LINKVIGIL_FIGURE_DIR}
    DEPENDS linkvigil-figures
    COMMENT "Rendering the guide's figures from the windows (figures/*.png)"
    VERBATIM)
add_custom_target(linkvigil_figures DEPENDS ${LINKVIGIL_FIGURE_DIR}/main-window.png)
