linkvigil_add_core_test(test_inifile unit/TestTIniFile.cpp)
target_compile_definitions(test_inifile PRIVATE LINKVIGIL_INI_DATA="${CMAKE_CURRENT_LIST_DIR}/../data/ini")
