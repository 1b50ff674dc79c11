linkvigil_add_test(test_datetime unit/TestDateTime.cpp)
linkvigil_add_test(test_stamps unit/TestStamps.cpp)
linkvigil_add_test(test_floattext unit/TestFloatText.cpp)
