linkvigil_add_test(test_settingsfile unit/TestSettingsFile.cpp)
linkvigil_add_test(test_settingsdialog unit/TestSettingsDialog.cpp)

# Where the settings, the log, the ledger and the history lie (core alone).
add_executable(test_program_places unit/TestProgramPlaces.cpp)
target_link_libraries(test_program_places PRIVATE linkvigil_core Qt6::Test)
add_test(NAME test_program_places COMMAND test_program_places)
