target_sources(linkvigil_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/QtSoundPlayer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/QtSoundPlayer.h
    ${CMAKE_CURRENT_LIST_DIR}/WavFile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WavFile.h)
