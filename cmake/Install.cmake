# Installation into a prefix (a per-user one such as ~/.local works best:
# the program writes its settings and log into its own folder):
#   <prefix>/lib/linkvigil/      the program folder (program, sounds, guide, page, echo tool, watcher)
#   <prefix>/bin/linkvigil       a launcher (symbolic link; also linkvigil-echo, linkvigil-watch)
#   <prefix>/share/applications/linkvigil.desktop, <prefix>/share/icons/.../linkvigil.svg
#   <prefix>/lib/systemd/system/linkvigil-watch@.service, <prefix>/lib/systemd/user/linkvigil-watch.service
# Files made at install time go below $DESTDIR like the others, while naming
# the programs at their final place in the prefix.
set(LINKVIGIL_INSTALL_DIR lib/linkvigil)
install(TARGETS linkvigil linkvigil-echo linkvigil-report RUNTIME DESTINATION ${LINKVIGIL_INSTALL_DIR})
install(FILES
    ${LINKVIGIL_PROGRAM_DIR}/Carbrake.wav
    ${LINKVIGIL_PROGRAM_DIR}/Chimes.wav
    ${LINKVIGIL_PROGRAM_DIR}/Alert.wav
    ${LINKVIGIL_PROGRAM_DIR}/linkvigil.pdf
    ${LINKVIGIL_PROGRAM_DIR}/linkvigil.html
    DESTINATION ${LINKVIGIL_INSTALL_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/src/gui/resources/icons/program.svg
    DESTINATION share/icons/hicolor/scalable/apps RENAME linkvigil.svg)
if(NOT LINKVIGIL_ICON_DIR)
    message(FATAL_ERROR "LINKVIGIL_ICON_DIR is not set")
endif()
install(DIRECTORY ${LINKVIGIL_ICON_DIR}/ DESTINATION share/icons/hicolor)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linkvigil.metainfo.xml
    DESTINATION share/metainfo RENAME net.linkvigil.Linkvigil.metainfo.xml)
install(FILES ${PROJECT_SOURCE_DIR}/docs/man/linkvigil.1 ${PROJECT_SOURCE_DIR}/docs/man/linkvigil-echo.1
    ${PROJECT_SOURCE_DIR}/docs/man/linkvigil-watch.1 DESTINATION share/man/man1)
# The prefix is known only when installing (cmake --install --prefix ...).
install(CODE "
    set(program \"\${CMAKE_INSTALL_PREFIX}/${LINKVIGIL_INSTALL_DIR}/linkvigil\")
    # A desktop entry reads % as a field code: a literal one is doubled.
    string(REPLACE \"%\" \"%%\" exec_path \"\${program}\")
    set(LINKVIGIL_EXEC \"\\\"\${exec_path}\\\"\")
    set(root \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
    configure_file(\"${PROJECT_SOURCE_DIR}/packaging/linkvigil.desktop.in\"
                   \"\${root}/share/applications/linkvigil.desktop\" @ONLY)
    message(STATUS \"Installing: \${root}/share/applications/linkvigil.desktop\")
    file(MAKE_DIRECTORY \"\${root}/bin\")
    file(CREATE_LINK \"../${LINKVIGIL_INSTALL_DIR}/linkvigil\" \"\${root}/bin/linkvigil\" SYMBOLIC)
    file(CREATE_LINK \"../${LINKVIGIL_INSTALL_DIR}/linkvigil-echo\" \"\${root}/bin/linkvigil-echo\" SYMBOLIC)
    message(STATUS \"Installing: \${root}/bin/linkvigil -> \${program}\")
")

# The headless watcher, its launcher and its service units, whose ExecStart
# names it. A unit file reads % as a specifier and splits the command line at
# blanks, hence the doubling and the quotes.
if(TARGET linkvigil-watch)
    install(TARGETS linkvigil-watch RUNTIME DESTINATION ${LINKVIGIL_INSTALL_DIR})
    install(CODE "
        set(root \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
        string(REPLACE \"%\" \"%%\" LINKVIGIL_WATCH_EXEC \"\${CMAKE_INSTALL_PREFIX}/${LINKVIGIL_INSTALL_DIR}/linkvigil-watch\")
        if(LINKVIGIL_WATCH_EXEC MATCHES \"[ \\t]\")
            set(LINKVIGIL_WATCH_EXEC \"\\\"\${LINKVIGIL_WATCH_EXEC}\\\"\")
        endif()
        foreach(unit \"system/linkvigil-watch@.service\" \"user/linkvigil-watch.service\")
            get_filename_component(name \"\${unit}\" NAME)
            configure_file(\"${PROJECT_SOURCE_DIR}/packaging/\${name}.in\" \"\${root}/lib/systemd/\${unit}\" @ONLY)
            message(STATUS \"Installing: \${root}/lib/systemd/\${unit}\")
        endforeach()
        file(CREATE_LINK \"../${LINKVIGIL_INSTALL_DIR}/linkvigil-watch\" \"\${root}/bin/linkvigil-watch\" SYMBOLIC)
    ")
endif()
