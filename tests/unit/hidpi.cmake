# The windows at scale 1 and at scale 2 (a high-density screen).
linkvigil_add_test(test_hidpi unit/TestHiDpi.cpp)
set_tests_properties(test_hidpi PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_SCALE_FACTOR=1")
add_test(NAME test_hidpi_scale2 COMMAND test_hidpi)
set_tests_properties(test_hidpi_scale2 PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_SCALE_FACTOR=2" TIMEOUT 120)
