# The history in SQLite: its packed echoes and summaries, the store and its
# reader on real folders, and the store killed while it writes.
find_package(SQLite3 REQUIRED)
foreach(name codec store kill)
    set(target test_history_${name})
    add_executable(${target})
    target_link_libraries(${target} PRIVATE linkvigil_core Qt6::Test SQLite::SQLite3)
    target_compile_options(${target} PRIVATE -UQT_NO_CAST_FROM_ASCII -UQT_NO_CAST_TO_ASCII)
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES TIMEOUT 180)
endforeach()
target_sources(test_history_codec PRIVATE unit/TestHistoryCodec.cpp)
target_sources(test_history_store PRIVATE unit/TestHistoryStore.cpp unit/HistoryTestKit.h)
target_sources(test_history_kill PRIVATE unit/TestHistoryKill.cpp unit/HistoryTestKit.h)
