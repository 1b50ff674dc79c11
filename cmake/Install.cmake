# Installation into a prefix (a per-user one such as ~/.local works best:
# the program writes its settings and log into its own folder):
#   <prefix>/lib/linkvigil/      the program folder (program, sounds, guide, page, echo tool)
#   <prefix>/bin/linkvigil       a launcher (symbolic link)
#   <prefix>/share/applications/linkvigil.desktop, <prefix>/share/icons/.../linkvigil.svg
set(LINKVIGIL_INSTALL_DIR lib/linkvigil)
install(TARGETS linkvigil linkvigil-echo RUNTIME DESTINATION ${LINKVIGIL_INSTALL_DIR})
install(FILES
    ${LINKVIGIL_PROGRAM_DIR}/Carbrake.wav
    ${LINKVIGIL_PROGRAM_DIR}/Chimes.wav
    ${LINKVIGIL_PROGRAM_DIR}/Alert.wav
    ${LINKVIGIL_PROGRAM_DIR}/linkvigil.pdf
    ${LINKVIGIL_PROGRAM_DIR}/linkvigil.html
    DESTINATION ${LINKVIGIL_INSTALL_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/src/gui/resources/icons/program.svg
    DESTINATION share/icons/hicolor/scalable/apps RENAME linkvigil.svg)
# The prefix is known only when installing (cmake --install --prefix ...).
install(CODE "
    set(program \"\${CMAKE_INSTALL_PREFIX}/${LINKVIGIL_INSTALL_DIR}/linkvigil\")
    set(LINKVIGIL_EXEC \"\\\"\${program}\\\"\")
    configure_file(\"${PROJECT_SOURCE_DIR}/packaging/linkvigil.desktop.in\"
                   \"\${CMAKE_INSTALL_PREFIX}/share/applications/linkvigil.desktop\" @ONLY)
    message(STATUS \"Installing: \${CMAKE_INSTALL_PREFIX}/share/applications/linkvigil.desktop\")
    file(MAKE_DIRECTORY \"\${CMAKE_INSTALL_PREFIX}/bin\")
    file(CREATE_LINK \"../${LINKVIGIL_INSTALL_DIR}/linkvigil\" \"\${CMAKE_INSTALL_PREFIX}/bin/linkvigil\" SYMBOLIC)
    file(CREATE_LINK \"../${LINKVIGIL_INSTALL_DIR}/linkvigil-echo\" \"\${CMAKE_INSTALL_PREFIX}/bin/linkvigil-echo\" SYMBOLIC)
    message(STATUS \"Installing: \${CMAKE_INSTALL_PREFIX}/bin/linkvigil -> \${program}\")
")
