# The sounds the program ships, synthesized at build time into the program folder.
add_executable(linkvigil-gensounds ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(linkvigil-gensounds PRIVATE linkvigil_common)

set(LINKVIGIL_SOUNDS
    ${LINKVIGIL_PROGRAM_DIR}/Carbrake.wav
    ${LINKVIGIL_PROGRAM_DIR}/Chimes.wav
    ${LINKVIGIL_PROGRAM_DIR}/Alert.wav)
add_custom_command(
    OUTPUT ${LINKVIGIL_SOUNDS}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${LINKVIGIL_PROGRAM_DIR}
    COMMAND linkvigil-gensounds ${LINKVIGIL_PROGRAM_DIR}
    DEPENDS linkvigil-gensounds
    COMMENT "Synthesizing the program's sounds"
    VERBATIM)
add_custom_target(linkvigil_sounds ALL DEPENDS ${LINKVIGIL_SOUNDS})
