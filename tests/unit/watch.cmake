linkvigil_add_test(test_watch unit/TestWatch.cpp)
target_link_libraries(test_watch PRIVATE linkvigil_watch)
