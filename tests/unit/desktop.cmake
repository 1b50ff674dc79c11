# The tray icon's state and commands, the alerts' notifications.
linkvigil_add_test(test_tray unit/TestTray.cpp)
linkvigil_add_test(test_notices unit/TestNotices.cpp)
